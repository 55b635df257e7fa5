#include <cstring>
#include <string>

#include "app/shell/project/project_files.h"
#include "app/shell/project/song_files.h"

bool BuildFilePath(const char* chosen, const char* extension, char* out, size_t size) {
  if (!chosen || !extension || !out || size == 0) return false;
  // The folder keeps its own trailing separator, and a bare name gets none: it would otherwise
  // stand at the root of the drive.
  const PathParts parts = SplitPath(chosen);
  const std::string path = parts.drive + parts.directory + parts.name + extension;
  if (path.size() >= size) return false;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return true;
}
