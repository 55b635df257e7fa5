#include "file_bytes.h"

#include <stdio.h>

namespace dxbc {

bool ReadFileBytes(const std::string &Path, Bytes &Data)
{
    Data.clear();
    FILE *File = fopen(Path.c_str(), "rb");
    if (!File) return false;
    unsigned char Block[65536];
    size_t Got;
    bool Good = true;
    while ((Got = fread(Block, 1, sizeof Block, File)) > 0) {
        Data.insert(Data.end(), Block, Block + Got);
        if (Data.size() > MaxContainerSize) {
            Good = false;
            break;
        }
    }
    Good = Good && !ferror(File);
    fclose(File);
    return Good;
}

bool WriteFileBytes(const std::string &Path, const Bytes &Data)
{
    const std::string Temporary = Path + ".partial";
    remove(Path.c_str());  // rename does not replace an existing file on Windows
    FILE *File = fopen(Temporary.c_str(), "wb");
    if (!File) return false;
    const bool Written = fwrite(Data.data(), 1, Data.size(), File) == Data.size();
    if (fclose(File) != 0 || !Written) {
        remove(Temporary.c_str());
        return false;
    }
    return rename(Temporary.c_str(), Path.c_str()) == 0;
}

}  // namespace dxbc
