#include "tools/shader_pack/shader_pack_build.h"

#include "zovuz/core/file/packed_text.h"

namespace shader_pack {

namespace {

const size_t MaxSlotSize = 0xFFFF;
const size_t UnitsPerLine = 100;

// One unit as it stands in a string literal: itself where that reads safely in any execution
// character set, else a three-digit octal escape (never a question mark, so no trigraph).
void AppendUnit(std::string &Out, unsigned char Unit)
{
    if (Unit >= 0x20 && Unit < 0x7F && Unit != '"' && Unit != '\\' && Unit != '?') {
        Out += char(Unit);
        return;
    }
    const char Digits[] = {'\\', char('0' + (Unit >> 6)), char('0' + ((Unit >> 3) & 7)), char('0' + (Unit & 7))};
    Out.append(Digits, sizeof Digits);
}

}  // namespace

bool BuildCodePack(const std::vector<Bytes> &Slots, Bytes &Content, std::string *Error)
{
    Content.clear();
    for (size_t i = 0; i < Slots.size(); ++i) {
        if (Slots[i].size() > MaxSlotSize) {
            if (Error) *Error = "slot " + std::to_string(i) + " has " + std::to_string(Slots[i].size()) + " bytes of code";
            return false;
        }
        Content.push_back(uint8_t(Slots[i].size()));
        Content.push_back(uint8_t(Slots[i].size() >> 8));
    }
    for (const Bytes &Code : Slots) Content.insert(Content.end(), Code.begin(), Code.end());
    return true;
}

bool BuildShaderArchive(const std::vector<ArchiveWriterItem> &Files, Bytes &Image, std::string *Error)
{
    ArchiveWriterOptions Options;
    Options.CodePage = 932;
    return BuildArchive(Files, Options, Image, Error) == 0;
}

Bytes PackText(const Bytes &Content)
{
    const Bytes Packed = ArchivePack(Content.data(), Content.size());
    Bytes Text(PackedTextSize(Packed.size()));
    EncodePackedText(Packed.data(), Packed.size(), Text.data());
    return Text;
}

std::string WritePackSource(const std::vector<SourcePack> &Packs, const std::string &Comment)
{
    std::string Out;
    size_t Start = 0;
    while (Start < Comment.size()) {
        size_t End = Comment.find('\n', Start);
        if (End == std::string::npos) End = Comment.size();
        Out += "// " + Comment.substr(Start, End - Start) + "\n";
        Start = End + 1;
    }
    Out += "#include \"zovuz/core/zovuz_core.h\"\n";
    for (const SourcePack &Pack : Packs) {
        const std::string Array = Pack.Name + "Text";
        Out += "\nstatic unsigned char " + Array + "[] =";
        for (size_t At = 0; At < Pack.Text.size() || At == 0; At += UnitsPerLine) {
            Out += "\n    \"";
            for (size_t i = At; i < Pack.Text.size() && i < At + UnitsPerLine; ++i) AppendUnit(Out, Pack.Text[i]);
            Out += "\"";
        }
        Out += ";\nPackedTextData " + Pack.Name + " = {" + Array + ", sizeof " + Array + " - 1, -1};\n";
    }
    return Out;
}

}  // namespace shader_pack
