// A small interpreter of the shader model 2 programs the writer makes, for the host tests: it
// runs one vertex or one pixel with given inputs, constants and sampled colours, so that what a
// base shader computes is checked without a device.
#pragma once

#include <string>

#include "sm2_writer.h"

struct Sm2Machine {
    float Temp[32][4] = {};
    float Const[256][4] = {};
    float Input[16][4] = {};
    float Texture[8][4] = {};      // ps_2_0 t#
    float Sampled[16][4] = {};     // what each sampler returns, wherever it is read
    float ColorOut[4][4] = {};
    float Position[4] = {};        // oPos
    float AttrOut[2][4] = {};      // oD#
    float Output[12][4] = {};      // oT# or o#
    int SamplerReads[16] = {};     // reads per sampler

    // Runs the program: false with the reason when it holds an instruction this machine lacks.
    bool Run(const sm2::Bytes &Program, std::string *Error);
};
