// archive_writer [-v 2|5|6] [-p] [-k key | -ff] [-cp codepage] <folder> <archive.dxa>
// Packs every file and folder under <folder> into one "DX" archive.
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "tools/archive_writer/archive_writer.h"

namespace {

bool ReadWholeFile(const std::wstring &Path, std::vector<unsigned char> &Data)
{
    HANDLE file = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok) {
        Data.resize((size_t)size.QuadPart);
        DWORD got = 0;
        ok = Data.empty() || (ReadFile(file, Data.data(), (DWORD)Data.size(), &got, nullptr) && got == Data.size());
    }
    CloseHandle(file);
    return ok;
}

uint64_t Time64(const FILETIME &Time) { return ((uint64_t)Time.dwHighDateTime << 32) | Time.dwLowDateTime; }

// Adds the folder's entries (names converted to the archive's code page) depth first.
bool AddFolder(const std::wstring &Folder, const std::string &Prefix, int CodePage, std::vector<ArchiveWriterItem> &Items)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((Folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool ok = true;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        int bytes = WideCharToMultiByte(CodePage, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string converted(bytes > 0 ? bytes - 1 : 0, '\0');
        WideCharToMultiByte(CodePage, 0, name.c_str(), -1, &converted[0], bytes, nullptr, nullptr);
        ArchiveWriterItem item;
        item.Path = Prefix + converted;
        item.CreationTime = Time64(found.ftCreationTime);
        item.LastAccessTime = Time64(found.ftLastAccessTime);
        item.LastWriteTime = Time64(found.ftLastWriteTime);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            item.Directory = true;
            Items.push_back(item);
            ok = AddFolder(Folder + L"\\" + name, item.Path + "/", CodePage, Items);
        } else {
            ok = ReadWholeFile(Folder + L"\\" + name, item.Data);
            if (!ok) fwprintf(stderr, L"cannot read %ls\\%ls\n", Folder.c_str(), name.c_str());
            Items.push_back(item);
        }
    } while (ok && FindNextFileW(find, &found));
    FindClose(find);
    return ok;
}

int Usage()
{
    fprintf(stderr, "usage: archive_writer [-v 2|5|6] [-p] [-k key | -ff] [-cp codepage] <folder> <archive.dxa>\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    ArchiveWriterOptions options;
    std::string key;
    std::vector<std::wstring> paths;
    for (int i = 1; i < argc; i++) {
        std::wstring arg = argv[i];
        if (arg == L"-v" && i + 1 < argc) options.Version = _wtoi(argv[++i]);
        else if (arg == L"-cp" && i + 1 < argc) options.CodePage = _wtoi(argv[++i]);
        else if (arg == L"-p") options.Pack = true;
        else if (arg == L"-ff") options.FallbackKey = true;
        else if (arg == L"-k" && i + 1 < argc) {
            int bytes = WideCharToMultiByte(CP_ACP, 0, argv[++i], -1, nullptr, 0, nullptr, nullptr);
            key.assign(bytes > 0 ? bytes - 1 : 0, '\0');
            WideCharToMultiByte(CP_ACP, 0, argv[i], -1, &key[0], bytes, nullptr, nullptr);
            options.KeyString = key.c_str();
        } else if (!arg.empty() && arg[0] == L'-') return Usage();
        else paths.push_back(arg);
    }
    if (paths.size() != 2) return Usage();

    std::vector<ArchiveWriterItem> items;
    if (!AddFolder(paths[0], "", options.Version >= 4 ? options.CodePage : 932, items)) return 1;
    std::vector<unsigned char> archive;
    std::string error;
    if (BuildArchive(items, options, archive, &error) != 0) {
        fprintf(stderr, "archive_writer: %s\n", error.c_str());
        return 1;
    }
    HANDLE out = CreateFileW(paths[1].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool ok = out != INVALID_HANDLE_VALUE && WriteFile(out, archive.data(), (DWORD)archive.size(), &written, nullptr) &&
              written == archive.size();
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (!ok) {
        fwprintf(stderr, L"cannot write %ls\n", paths[1].c_str());
        return 1;
    }
    printf("%u entries, %u bytes\n", (unsigned)items.size(), (unsigned)archive.size());
    return 0;
}
