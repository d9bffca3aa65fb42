#include "windowkit/Forms.h"

#include <map>

namespace Forms {

namespace {
std::map<std::type_index, QPointer<Form>>& registry()
{
    static std::map<std::type_index, QPointer<Form>> forms;
    return forms;
}
} // namespace

Form* findByType(std::type_index type)
{
    auto it = registry().find(type);
    if (it == registry().end() || !it->second || it->second->isUnloaded())
        return nullptr;
    return it->second.data();
}

void remember(std::type_index type, Form* form)
{
    registry()[type] = form;
}

void showForm(Form* form)
{
    form->show();
    form->raise();
    form->activateWindow();
}

bool anyLoaded()
{
    for (const auto& [type, form] : registry()) {
        if (form && !form->isUnloaded())
            return true;
    }
    return false;
}

void discardAll()
{
    auto& forms = registry();
    for (auto& [type, form] : forms) {
        if (form)
            form->discard();
    }
    forms.clear();
}

} // namespace Forms
