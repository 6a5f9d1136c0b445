#pragma once

#include "common/ConfigRegistry.h"

#include <functional>

namespace auravox {

// Short forms for declaring the keys of a settings model.
namespace ConfigKeys {

// A key whose load only needs the value.
inline ConfigKey make(int section, int position, const QString &name, std::function<QStringList()> save,
                      std::function<void(const QString &)> load)
{
    ConfigKey k;
    k.section = section;
    k.position = position;
    k.key = name;
    k.save = std::move(save);
    k.load = [load = std::move(load)](const QString &, const QString &value) { load(value); };
    return k;
}

// A key whose value is a whole number: anything else in the file is skipped.
inline ConfigKey number(int section, int position, const QString &name, std::function<QStringList()> save,
                        std::function<void(int)> load)
{
    return make(section, position, name, std::move(save), [load = std::move(load)](const QString &v) {
        int n;
        if (ConfigRegistry::parseInt(v, &n))
            load(n);
    });
}

// A whole number written as the standard conversion writes it.
inline ConfigKey number(int section, int position, const QString &name, std::function<int()> get,
                        std::function<void(int)> set)
{
    return number(
        section, position, name, [name, get = std::move(get)] { return QStringList{name + QString::number(get())}; },
        std::move(set));
}

} // namespace ConfigKeys

} // namespace auravox
