// Test helpers of the zip layer: temporary folders, sample trees, archives
// made at test time by Info-ZIP zip, Python's zipfile and make_zip.py, and
// tree comparison byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/tests/test_dir.h"

namespace flashery::test {

using flashery::testing::TempDir;

std::string Quote(const std::string& s);
// Runs a shell command; its exit status.
int Sh(const std::string& command);

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// A tree under root/quillon like a brand folder: binary and text files,
// an empty file, Chinese (UTF-8) names, folders seven levels deep, an
// empty folder.
void MakeSampleTree(const std::string& root);
// Every difference between the trees (missing or extra files or folders,
// different bytes); empty when equal.
std::vector<std::string> TreeDifferences(const std::string& a, const std::string& b);

// Info-ZIP: `cd dir && zip options -r out folder`.
bool InfoZip(const std::string& dir, const std::string& folder, const std::string& out,
             const std::string& options);
// make_zip.py with a JSON description.
bool MakeZip(const std::string& layoutJson, const std::string& out, const std::string& scratch);
// Python's zipfile over the files of dir/folder (entries for folders too),
// `compression` ZIP_STORED or ZIP_DEFLATED.
bool PythonZip(const std::string& dir, const std::string& folder, const std::string& out,
               const std::string& compression);

struct Embedded {
  uint64_t start = 0, size = 0;
};
// Writes `prefix` garbage bytes, the archive, `suffix` garbage bytes.
Embedded EmbedArchive(const std::string& archive, const std::string& out, size_t prefix, size_t suffix);

std::string HexOf(const std::string& bytes);

}  // namespace flashery::test
