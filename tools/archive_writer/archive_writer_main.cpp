// archive_writer [-v 0-6] [-p] [-k key | -ff] [-cp codepage] <folder> <archive.dxa>
// Packs every file and folder under <folder> into one "DX" archive. Refuses (exit code 1, with
// a message naming the file) a folder that is missing or is a file, a file it cannot read, and
// a name the archive's code page cannot spell.
#include <windows.h>

#include <locale.h>
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

// The name in the code page, when the code page spells it exactly: converting it back must give
// the same name (a character the code page lacks would become "?" or a look-alike, which opens
// nothing and may collide with another name).
bool SpellName(const std::wstring &Name, int CodePage, std::string &Out)
{
    int bytes = WideCharToMultiByte(CodePage, 0, Name.c_str(), (int)Name.size(), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    Out.assign((size_t)bytes, '\0');
    WideCharToMultiByte(CodePage, 0, Name.c_str(), (int)Name.size(), &Out[0], bytes, nullptr, nullptr);
    int units = MultiByteToWideChar(CodePage, 0, Out.data(), bytes, nullptr, 0);
    std::wstring back((size_t)(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CodePage, 0, Out.data(), bytes, &back[0], units);
    return back == Name;
}

// Adds the folder's entries (names converted to the archive's code page) depth first. False,
// after a message naming the file, when anything can't be taken as it is.
bool AddFolder(const std::wstring &Folder, const std::string &Prefix, int CodePage, std::vector<ArchiveWriterItem> &Items)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((Folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        fwprintf(stderr, L"archive_writer: cannot list the folder %ls\n", Folder.c_str());
        return false;
    }
    bool ok = true;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = Folder + L"\\" + name;
        std::string converted;
        if (!SpellName(name, CodePage, converted)) {
            fwprintf(stderr, L"archive_writer: code page %d cannot spell the name of %ls\n", CodePage, path.c_str());
            ok = false;
            break;
        }
        ArchiveWriterItem item;
        item.Path = Prefix + converted;
        item.CreationTime = Time64(found.ftCreationTime);
        item.LastAccessTime = Time64(found.ftLastAccessTime);
        item.LastWriteTime = Time64(found.ftLastWriteTime);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            item.Directory = true;
            Items.push_back(item);
            ok = AddFolder(path, item.Path + "/", CodePage, Items);
        } else {
            ok = ReadWholeFile(path, item.Data);
            if (!ok) fwprintf(stderr, L"archive_writer: cannot read %ls\n", path.c_str());
            Items.push_back(item);
        }
    } while (ok && FindNextFileW(find, &found));
    FindClose(find);
    return ok;
}

int Usage()
{
    fprintf(stderr, "usage: archive_writer [-v 0-6] [-p] [-k key | -ff] [-cp codepage] <folder> <archive.dxa>\n");
    return 2;
}

}  // namespace
int wmain(int argc, wchar_t **argv)
{
    setlocale(LC_ALL, "");  // messages name files in the system's own code page
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

    const DWORD attributes = GetFileAttributesW(paths[0].c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        fwprintf(stderr, L"archive_writer: cannot find the folder %ls\n", paths[0].c_str());
        return 1;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fwprintf(stderr, L"archive_writer: %ls is a file, not a folder\n", paths[0].c_str());
        return 1;
    }
    if (options.KeyString != nullptr)
        fprintf(stderr, "archive_writer: warning: the library's default file access uses no key string, "
                        "so it will not open this archive; only a caller that passes the same key will\n");

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
