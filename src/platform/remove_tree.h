#ifndef BOOTSTRAP_PLATFORM_REMOVE_TREE_H_
#define BOOTSTRAP_PLATFORM_REMOVE_TREE_H_

#include <string>

// Removes path and everything below it. Symbolic links are removed, never
// followed; directories the run left without write or search permission
// are opened up first. True when nothing is left.
bool removeTree(const std::string& path);

#endif
