// Elements whose start tag has been written and whose end tag has not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quirtle {

enum class ElementKind : int32_t { None = 0, Section = 2, Container = 3, Item = 4 };

class OpenElement {
  public:
    OpenElement() = default;
    virtual ~OpenElement() = default;
    OpenElement(const OpenElement&) = default;
    OpenElement(OpenElement&&) = default;
    OpenElement& operator=(const OpenElement&) = default;
    OpenElement& operator=(OpenElement&&) = default;

    std::string name;       // written as typed; the end tag is "</" + name + ">"
    std::string className;  // escaped; empty means no class attribute
    std::string id;         // escaped; empty means no id attribute
    ElementKind kind = ElementKind::None;
    std::vector<std::string> params;  // escaped values of param0, param1, ...
    int32_t level = 0;                // marker count of a block head, or a section's depth
};

// The stack keeps the two counts the block handlers need, so that neither has to
// walk the stack: the number of open sections, and the number of containers above
// the innermost section. Popped places are kept and written over by later pushes, so
// that the strings they hold keep their storage.
class ElementStack {
  public:
    // What the stack knows of an open element: enough to close it.
    struct Entry {
        std::string name;
        ElementKind kind = ElementKind::None;
    };

    void Push(ElementKind kind, std::string_view name);
    // Drops the top element.
    void Pop();
    const Entry& Top() const { return elements[count - 1]; }
    bool Empty() const { return count == 0; }
    std::size_t Size() const { return count; }
    int32_t SectionDepth() const { return sectionDepth; }
    int32_t ContainerDepth() const { return count == 0 ? 0 : containerDepths[count - 1]; }

  private:
    std::vector<Entry> elements;           // the first `count` are open
    std::vector<int32_t> containerDepths;  // ContainerDepth() right after each push
    std::size_t count = 0;
    int32_t sectionDepth = 0;
};

}  // namespace quirtle
