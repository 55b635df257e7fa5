// song_writer <source.txt> <folder>: writes what a song text (song_text.h) describes into the
// folder: <source name>.mdx when it has tracks, <bank>.pdx when it names a bank and has samples,
// and the WAV files it names. It runs on the build machine, which makes the example songs with it
// (tools/song_writer/CMakeLists.txt).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/song_writer/song_text.h"

namespace {

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "song_writer: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("song_writer: wrote %s (%zu bytes)\n", path.c_str(), bytes.size());
    return true;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: song_writer <source.txt> <folder>\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "song_writer: cannot read %s\n", argv[1]);
        return 2;
    }
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    SongText song;
    std::string error;
    if (!ReadSongText(text, song, error)) {
        std::fprintf(stderr, "song_writer: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const std::string folder = std::string(argv[2]) + "/";
    bool ok = true;
    if (song.hasTracks) ok = WriteBytes(folder + BaseName(argv[1]) + ".mdx", song.song.Build()) && ok;
    if (!song.song.bankName.empty() && !song.samples.empty())
        ok = WriteBytes(folder + song.song.bankName + ".pdx", BuildSampleBank(song.samples)) && ok;
    for (const auto& [number, name] : song.waves)
        ok = WriteBytes(folder + name, BuildSampleWave(song.samples[number])) && ok;
    return ok ? 0 : 1;
}
