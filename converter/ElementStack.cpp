#include "ElementStack.h"

#include <utility>

namespace quirtle {

void ElementStack::Push(OpenElement&& element) {
    int32_t containers = ContainerDepth();
    if (element.kind == ElementKind::Section) {
        ++sectionDepth;
        containers = 0;
    } else if (element.kind == ElementKind::Container) {
        ++containers;
    }
    if (count == elements.size()) {
        elements.push_back(std::move(element));
        containerDepths.push_back(containers);
    } else {
        elements[count] = std::move(element);
        containerDepths[count] = containers;
    }
    ++count;
}

void ElementStack::Pop() {
    --count;
    if (elements[count].kind == ElementKind::Section) {
        --sectionDepth;
    }
}

}  // namespace quirtle
