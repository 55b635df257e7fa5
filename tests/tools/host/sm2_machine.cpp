#include "sm2_machine.h"

#include <math.h>
#include <string.h>

#include <vector>

#include "sm2_tokens.h"

using namespace sm2;

bool Sm2Machine::Run(const Bytes &Program, std::string *Error)
{
    auto Fail = [&](const std::string &Why) {
        if (Error) *Error = Why;
        return false;
    };
    std::vector<uint32_t> Tokens(Program.size() / 4);
    for (size_t i = 0; i < Tokens.size(); ++i)
        Tokens[i] = uint32_t(Program[4 * i]) | uint32_t(Program[4 * i + 1]) << 8 | uint32_t(Program[4 * i + 2]) << 16 |
                    uint32_t(Program[4 * i + 3]) << 24;
    auto Register = [&](uint32_t Token) -> float * {
        const uint32_t N = Token & 0x7FF;
        switch (token::TypeOf(Token)) {
        case RegisterType::Temp: return N < 32 ? Temp[N] : nullptr;
        case RegisterType::Const: return N < 256 ? Const[N] : nullptr;
        case RegisterType::Input: return N < 16 ? Input[N] : nullptr;
        case RegisterType::Texture: return N < 8 ? Texture[N] : nullptr;
        case RegisterType::ColorOut: return N < 4 ? ColorOut[N] : nullptr;
        case RegisterType::RastOut: return N == 0 ? Position : nullptr;
        case RegisterType::AttrOut: return N < 2 ? AttrOut[N] : nullptr;
        case RegisterType::Output: return N < 12 ? Output[N] : nullptr;
        default: return nullptr;
        }
    };
    for (size_t At = 1; At < Tokens.size();) {
        const uint32_t Op = Tokens[At] & 0xFFFF;
        if (Op == uint32_t(Opcode::End)) return true;
        const size_t Length = Op == uint32_t(Opcode::Comment) ? Tokens[At] >> 16 & 0x7FFF : Tokens[At] >> 24 & 0xF;
        if (At + Length >= Tokens.size()) return Fail("an instruction runs past the program");
        const uint32_t *P = &Tokens[At + 1];
        At += 1 + Length;
        if (Op == uint32_t(Opcode::Comment) || Op == uint32_t(Opcode::Dcl)) continue;
        float *D = Register(P[0]);
        if (!D) return Fail("a register this machine lacks");
        if (Op == uint32_t(Opcode::Def)) {
            for (int i = 0; i < 4; ++i) memcpy(&D[i], &P[1 + i], 4);
            continue;
        }
        float S[3][4] = {};
        for (size_t s = 1; s < Length && s <= 3; ++s) {
            const float *Reg = Register(P[s]);
            if (token::TypeOf(P[s]) == RegisterType::Sampler) continue;
            if (!Reg) return Fail("a source this machine lacks");
            const uint32_t Modifier = P[s] >> 24 & 0xF;
            for (int l = 0; l < 4; ++l) {
                float v = Reg[P[s] >> (16 + 2 * l) & 3];
                if (Modifier == token::Absolute || Modifier == token::AbsoluteNegate) v = fabsf(v);
                if (Modifier == token::Negate || Modifier == token::AbsoluteNegate) v = -v;
                S[s - 1][l] = v;
            }
        }
        float R[4];
        for (int l = 0; l < 4; ++l) {
            const float a = S[0][l], b = S[1][l], c = S[2][l];
            switch (Opcode(Op)) {
            case Opcode::Mov: R[l] = a; break;
            case Opcode::Add: R[l] = a + b; break;
            case Opcode::Sub: R[l] = a - b; break;
            case Opcode::Mul: R[l] = a * b; break;
            case Opcode::Mad: R[l] = a * b + c; break;
            case Opcode::Min: R[l] = a < b ? a : b; break;
            case Opcode::Max: R[l] = a > b ? a : b; break;
            case Opcode::Frc: R[l] = a - floorf(a); break;
            case Opcode::Lrp: R[l] = a * b + (1 - a) * c; break;
            case Opcode::Cmp: R[l] = a >= 0 ? b : c; break;
            case Opcode::Rcp: R[l] = 1 / S[0][0]; break;
            case Opcode::Rsq: R[l] = 1 / sqrtf(fabsf(S[0][0])); break;
            case Opcode::Exp: R[l] = exp2f(S[0][0]); break;
            case Opcode::Log: R[l] = log2f(fabsf(S[0][0])); break;
            case Opcode::Pow: R[l] = powf(fabsf(S[0][0]), S[1][0]); break;
            case Opcode::Dp3: R[l] = S[0][0] * S[1][0] + S[0][1] * S[1][1] + S[0][2] * S[1][2]; break;
            case Opcode::Dp4: R[l] = S[0][0] * S[1][0] + S[0][1] * S[1][1] + S[0][2] * S[1][2] + S[0][3] * S[1][3]; break;
            case Opcode::Texld: {
                const uint32_t Sampler = P[2] & 0x7FF;
                if (Sampler >= 16) return Fail("a sampler this machine lacks");
                R[l] = Sampled[Sampler][l];
                if (l == 0) ++SamplerReads[Sampler];
                break;
            }
            default: return Fail("opcode " + std::to_string(Op));
            }
        }
        const uint32_t Mask = P[0] >> 16 & 0xF;
        for (int l = 0; l < 4; ++l) {
            if (!(Mask & (1u << l))) continue;
            float v = R[l];
            if (P[0] & token::Saturate) v = v < 0 ? 0 : v > 1 ? 1 : v;
            D[l] = v;
        }
    }
    return Fail("no end token");
}
