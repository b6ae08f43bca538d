#pragma once
// Children the program made under a name and finds again by it: a missing one is a fault of the
// program, not of the user, so it stops with the name instead of going on without it.
#include <QObject>
#include <QString>
#include <stdexcept>

namespace zyvora_app {

template <class T>
T* required_child(const QObject& parent, const QString& name) {
    T* child = parent.findChild<T*>(name);
    if (!child) {
        throw std::logic_error(parent.objectName().toStdString() + " has no " + name.toStdString());
    }
    return child;
}

}  // namespace zyvora_app
