// The base shaders of the Direct3D 9 back end, written with the shader model 2 writer: the files
// of its base archive. What they compute and read, and their names, are the back end's contract
// in zovuz/d3d9/shader/d3d9_base_shaders.h.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "sm2_writer.h"
#include "zovuz/d3d9/shader/d3d9_base_shaders.h"

namespace sm2 {

struct NamedProgram {
    std::string FileName;
    Bytes Code;
};

// Writes one program of Kind with Body (shader model 2.Minor) and appends it to Out as Name. False
// with the name and the writer's fault in Error.
bool AddProgram(std::vector<NamedProgram> &Out, std::string *Error, const std::string &Name, Stage Kind,
                const std::function<void(ShaderWriter &)> &Body, uint32_t Minor = 0);

// Builds the base archive's files: "Base2DVertexShader.vso", the untextured pixel shaders in
// index order, the blend pixel shaders in index order, then the mask shaders. False with the
// failing shader and fault in Error.
bool BuildD3D9BaseSet(std::vector<NamedProgram> &Out, std::string *Error);

}  // namespace sm2
