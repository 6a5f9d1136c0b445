#pragma once

#include <QStringList>

#include <initializer_list>

// A list of clip names, for comparing what was spoken: L({"son12", "son_am"}).
inline QStringList L(std::initializer_list<const char *> names)
{
    QStringList list;
    for (const char *name : names)
        list << QLatin1String(name);
    return list;
}
