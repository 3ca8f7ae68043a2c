// The tree's memory: blocks from pugixml's allocation functions, so that the tests' allocation
// failures reach it too.
#include "nbfx_tree.h"

#include <pugixml.hpp>

#include <algorithm>
#include <limits>
#include <new>

namespace soapkit::nbfx {

// ---- the tree's memory -----------------------------------------------------------------

struct Tree::Block {
  Block* next;
  pugi::deallocation_function release;  // the function that matches the one that allocated it
};

void Tree::Arena::Grow(size_t n) {
  static_assert(sizeof(Block) % alignof(Node) == 0 && sizeof(Node) % alignof(Node) == 0 &&
                    sizeof(Attribute) % alignof(Node) == 0 && alignof(Attribute) <= alignof(Node),
                "records in the node arena stay aligned");
  // Blocks double up to 4 MiB, so that a small body takes little and a large one few blocks.
  const size_t size = std::max(n, next_size);
  if (size > std::numeric_limits<size_t>::max() - sizeof(Block)) throw std::bad_alloc();
  void* memory = pugi::get_memory_allocation_function()(sizeof(Block) + size);
  if (memory == nullptr) throw std::bad_alloc();
  blocks = new (memory) Block{blocks, pugi::get_memory_deallocation_function()};
  top = reinterpret_cast<char*>(blocks + 1);
  end = top + size;
  next_size = std::min<size_t>(2 * next_size, 4 << 20);
}

void Tree::Arena::Release() noexcept {
  while (blocks != nullptr) {
    Block* next = blocks->next;
    blocks->release(blocks);
    blocks = next;
  }
  top = end = nullptr;
  next_size = 4096;
}

void Tree::clear() noexcept {
  nodes_.Release();
  strings_.Release();
  first_ = nullptr;
}

}  // namespace soapkit::nbfx
