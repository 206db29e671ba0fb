#include "ElementStack.h"

#include <utility>

namespace quirtle {

void ElementStack::Push(ElementKind kind, std::string_view name) {
    int32_t containers = ContainerDepth();
    if (kind == ElementKind::Section) {
        ++sectionDepth;
        containers = 0;
    } else if (kind == ElementKind::Container) {
        ++containers;
    }
    if (count == elements.size()) {
        elements.emplace_back();
        containerDepths.push_back(containers);
    } else {
        containerDepths[count] = containers;
    }
    Entry& entry = elements[count];
    entry.name.assign(name);
    entry.kind = kind;
    ++count;
}

void ElementStack::Pop() {
    --count;
    if (elements[count].kind == ElementKind::Section) {
        --sectionDepth;
    }
}

}  // namespace quirtle
