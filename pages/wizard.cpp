#include "pages/wizard.h"

#include "app/shutdown.h"

#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/form3.h"

#include <memory>

namespace pages {
namespace {
struct Pages {
    std::unique_ptr<Form1> one;
    std::unique_ptr<Form2> two;
    std::unique_ptr<Form3> three;
};
Pages& all() {
    static Pages pages;
    return pages;
}
template <typename T> T& lazy(std::unique_ptr<T>& slot) {
    if (!slot)
        slot = std::make_unique<T>();
    return *slot;
}
} // namespace

Form1& form1() {
    return lazy(all().one);
}
Form2& form2() {
    return lazy(all().two);
}
Form3& form3() {
    return lazy(all().three);
}

void resetPages() {
    // The editor goes first: its grid holds rows the others know nothing of.
    all().three.reset();
    all().two.reset();
    all().one.reset();
    // What comes next is a new run.
    app::resetProgramEnd();
}

} // namespace pages
