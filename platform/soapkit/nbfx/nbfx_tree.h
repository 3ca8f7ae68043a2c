// The tree a binary body decodes into: elements with their attributes, text and comments, in
// document order. Strings are views into the tree's copy of the body, into the fixed string
// table or into the tree's own storage; none is NUL-terminated.
//
// Nodes and strings come from blocks allocated through pugixml's allocation functions, so one
// setting governs the memory of every document the reader holds, text or binary.

#pragma once

#include <cstddef>
#include <string_view>

namespace soapkit::nbfx {

struct Attribute {
  const Attribute* next;
  std::string_view prefix;  // "" for none; "xmlns" for a declaration that names a prefix
  std::string_view local;   // the name after the prefix; "xmlns" for a default declaration
  std::string_view value;
};

enum class NodeKind : unsigned char { kElement, kText, kComment };

struct Node {
  const Node* next;                  // the next sibling
  const Node* first_child;           // elements only
  const Attribute* first_attribute;  // elements only
  std::string_view prefix;           // elements: "" for none
  std::string_view text;             // elements: the local name; text and comments: the characters
  NodeKind kind;
};

class Tree {
 public:
  Tree() = default;
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  ~Tree() { clear(); }

  // The nodes at the top, in order: elements and comments.
  const Node* first() const { return first_; }
  // Empties the tree and gives its memory back.
  void clear() noexcept;

 private:
  friend class TreeBuilder;

  // A bump allocator over a list of blocks.
  struct Block;
  struct Arena {
    Block* blocks = nullptr;
    char* top = nullptr;
    char* end = nullptr;
    size_t next_size = 4096;

    char* Allocate(size_t n) {
      if (static_cast<size_t>(end - top) < n) Grow(n);
      char* at = top;
      top += n;
      return at;
    }
    void Grow(size_t n);
    void Release() noexcept;
  };

  Arena nodes_;    // Node and Attribute records, whose sizes keep it 8-byte aligned
  Arena strings_;  // the body's copy and the strings made while decoding
  const Node* first_ = nullptr;
};

}  // namespace soapkit::nbfx
