// Input and output signatures (ISGN/OSGN chunks): 24-byte elements naming each register's
// semantic, system value, component type and mask, followed by the semantic names.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "dxbc_container.h"
#include "sm4_tokens.h"

namespace dxbc {

struct SignatureElement {
    std::string Name;                           // semantic name, e.g. "TEXCOORD" or "SV_Position"
    uint32_t Index = 0;                         // semantic index
    SystemValue Value = SystemValue::Undefined;
    ComponentType Type = ComponentType::Float;
    uint32_t Register = 0;
    uint8_t Mask = 0;                           // declared components, bit 0 = x
    uint8_t Usage = 0;                          // inputs: components read; outputs: components not written
};

constexpr uint32_t SignatureElementSize = 24;
constexpr uint32_t MaxSignatureElements = 32;

Bytes WriteSignature(const std::vector<SignatureElement> &Elements);

// Reads a signature chunk's data. False with a reason in Error on any fault (bounds, count,
// a name that is not terminated inside the chunk).
bool ReadSignature(const Bytes &Data, std::vector<SignatureElement> &Elements, std::string *Error);

// Whether a pixel shader with ConsumerInputs can follow a stage with ProducerOutputs: the
// consumer's elements must be the producer's first elements in order, each with the same
// semantic, system value, component type and register, and declaring no component the
// producer does not declare. False with the first mismatch in Error.
bool CheckLinkage(const std::vector<SignatureElement> &ProducerOutputs,
                  const std::vector<SignatureElement> &ConsumerInputs, std::string *Error);

std::string MaskText(uint32_t Mask);

}  // namespace dxbc
