#include "ElementStack.h"

#include <utility>

namespace quirtle {

void ElementStack::Push(OpenElement element) {
    int32_t containers = ContainerDepth();
    if (element.kind == ElementKind::Section) {
        ++sectionDepth;
        containers = 0;
    } else if (element.kind == ElementKind::Container) {
        ++containers;
    }
    elements.push_back(std::move(element));
    containerDepths.push_back(containers);
}

OpenElement ElementStack::Pop() {
    OpenElement element = std::move(elements.back());
    elements.pop_back();
    containerDepths.pop_back();
    if (element.kind == ElementKind::Section) {
        --sectionDepth;
    }
    return element;
}

}  // namespace quirtle
