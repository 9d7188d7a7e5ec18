#pragma once
// A window's control found by its object name, as the language files name it. A missing
// control fails the test that asked for it.
#include <QObject>
#include <gtest/gtest.h>

template <class T>
T *control(const QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        ADD_FAILURE() << "no control " << name << " in " << window.objectName().toStdString();
    return found;
}
