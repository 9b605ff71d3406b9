#pragma once

#include <QWidget>

#include <stdexcept>
#include <string>

// A child widget by its object name; a test that names a widget the window lacks fails loudly.
template <typename Widget> Widget& child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QLatin1String(name));
    if (!widget)
        throw std::runtime_error(std::string("no widget named ") + name);
    return *widget;
}
