#include "sm4_signature.h"

#include <string.h>
#include <strings.h>

namespace dxbc {

std::string MaskText(uint32_t Mask)
{
    std::string Text;
    for (int i = 0; i < 4; ++i)
        if (Mask & (1u << i)) Text += "xyzw"[i];
    return Text;
}

Bytes WriteSignature(const std::vector<SignatureElement> &Elements)
{
    Bytes Out;
    AppendU32(Out, uint32_t(Elements.size()));
    AppendU32(Out, 8);  // the elements follow the two header words
    // Each element's name follows the elements, in order, padded to a word as the
    // platform's compiler pads it.
    uint32_t NameAt = 8 + SignatureElementSize * uint32_t(Elements.size());
    for (const SignatureElement &E : Elements) {
        AppendU32(Out, NameAt);
        AppendU32(Out, E.Index);
        AppendU32(Out, uint32_t(E.Value));
        AppendU32(Out, uint32_t(E.Type));
        AppendU32(Out, E.Register);
        AppendU32(Out, uint32_t(E.Mask) | uint32_t(E.Usage) << 8);
        NameAt += uint32_t(E.Name.size() + 4) & ~3u;
    }
    for (const SignatureElement &E : Elements) {
        Out.insert(Out.end(), E.Name.begin(), E.Name.end());
        Out.push_back(0);
        while (Out.size() % 4) Out.push_back(0xab);
    }
    return Out;
}

bool ReadSignature(const Bytes &Data, std::vector<SignatureElement> &Elements, std::string *Error)
{
    Elements.clear();
    auto Fail = [&](const std::string &Why) {
        if (Error) *Error = Why;
        Elements.clear();
        return false;
    };
    if (Data.size() < 8) return Fail("signature shorter than its header");
    const uint32_t Count = ReadU32(&Data[0]);
    const uint32_t First = ReadU32(&Data[4]);
    if (Count > MaxSignatureElements) return Fail("signature of " + std::to_string(Count) + " elements");
    if (First > Data.size() || (Data.size() - First) / SignatureElementSize < Count)
        return Fail("signature elements run past the chunk");
    for (uint32_t i = 0; i < Count; ++i) {
        const uint8_t *P = &Data[First + i * SignatureElementSize];
        const uint32_t NameOffset = ReadU32(P);
        if (NameOffset >= Data.size()) return Fail("signature name outside the chunk");
        const void *End = memchr(&Data[NameOffset], 0, Data.size() - NameOffset);
        if (!End) return Fail("signature name not terminated");
        SignatureElement E;
        E.Name.assign(reinterpret_cast<const char *>(&Data[NameOffset]));
        E.Index = ReadU32(P + 4);
        E.Value = SystemValue(ReadU32(P + 8));
        E.Type = ComponentType(ReadU32(P + 12));
        E.Register = ReadU32(P + 16);
        E.Mask = P[20];
        E.Usage = P[21];
        Elements.push_back(E);
    }
    return true;
}

bool CheckLinkage(const std::vector<SignatureElement> &ProducerOutputs,
                  const std::vector<SignatureElement> &ConsumerInputs, std::string *Error)
{
    auto Fail = [&](const std::string &Why) {
        if (Error) *Error = Why;
        return false;
    };
    if (ConsumerInputs.size() > ProducerOutputs.size())
        return Fail("the pixel shader reads " + std::to_string(ConsumerInputs.size()) + " elements, the vertex shader writes " +
                    std::to_string(ProducerOutputs.size()));
    for (size_t i = 0; i < ConsumerInputs.size(); ++i) {
        const SignatureElement &In = ConsumerInputs[i], &Out = ProducerOutputs[i];
        const std::string Which = "input " + std::to_string(i) + " (" + In.Name + std::to_string(In.Index) + ")";
        if (strcasecmp(In.Name.c_str(), Out.Name.c_str()) != 0 || In.Index != Out.Index)
            return Fail(Which + " meets output " + Out.Name + std::to_string(Out.Index));
        if (In.Register != Out.Register) return Fail(Which + " is in another register than the output");
        if (In.Value != Out.Value) return Fail(Which + " has another system value than the output");
        if (In.Type != Out.Type) return Fail(Which + " has another component type than the output");
        if (In.Mask & ~Out.Mask)
            return Fail(Which + " declares ." + MaskText(In.Mask) + " but the output holds ." + MaskText(Out.Mask));
    }
    return true;
}

}  // namespace dxbc
