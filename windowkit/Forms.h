#pragma once

#include "windowkit/Form.h"

#include <QPointer>
#include <typeindex>

// Each window class exists at most once: the first use creates and loads it, later uses find the
// same window, unloading destroys it.
namespace Forms {

Form* findByType(std::type_index type);
void remember(std::type_index type, Form* form);

// The loaded window of class T, or nullptr.
template <typename T> T* find()
{
    return static_cast<T*>(findByType(typeid(T)));
}

// Creates and loads T when it is not loaded yet (Form_Load runs now); does not show it.
// May return nullptr when Form_Load unloaded the window again.
template <typename T> T* load()
{
    if (T* existing = find<T>())
        return existing;
    auto* form = new T();
    remember(typeid(T), form);
    form->load();
    return find<T>();
}

// Shows T modeless: loads it first when needed, otherwise brings the window to the front with
// its contents unchanged.
void showForm(Form* form);
template <typename T> T* show()
{
    T* form = load<T>();
    if (form)
        showForm(form);
    return form;
}

// Whether any window is loaded (not yet unloaded).
bool anyLoaded();

// Every loaded window, for ending the application.
void discardAll();

} // namespace Forms
