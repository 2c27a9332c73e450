#pragma once
// A host folder tree of containers for the folder tools (search and batch), written in code
// so each test shows what it searches.

#include <filesystem>
#include <string>
#include <vector>

namespace tessarind::testing {

struct TreeDisk {
    std::string path;               // relative to the tree's top
    std::vector<std::string> files; // PRG files of 100 bytes each, raw PETSCII names
};

// Writes a 1541 image named DISK holding the files.
bool WriteTreeDisk(const std::filesystem::path& top, const TreeDisk& disk);

// Writes parts 1 to 3 of a Zipcode set "n!name" (tracks 1-25 of a 1541 image holding the
// files); the fourth part is left out, as a set found half copied would be.
bool WriteZipcodeSet(const std::filesystem::path& top, const std::string& name,
                     const std::vector<std::string>& files);

// The tree the folder tools are tried on:
//   1!SET 2!SET 3!SET (a Zipcode set holding GAME)   junk.bin (no container)
//   notes.txt   one.d64 (GAME, TOOL)   sub/two.d64 (GAME)   sub/deeper/three.d64 (OTHER)
bool WriteSearchTree(const std::filesystem::path& top);

} // namespace tessarind::testing
