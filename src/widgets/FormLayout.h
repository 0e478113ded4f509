#pragma once

#include <QHBoxLayout>
#include <QWidget>

#include <initializer_list>

// Small helpers for forms built in code.
namespace forms {

// `widget` with its object name set, as the form's tests and accessibility tools find it.
template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

// The widgets side by side, left-aligned unless `stretch` is false.
inline QHBoxLayout* row(std::initializer_list<QWidget*> widgets, bool stretch = true) {
    auto* layout = new QHBoxLayout;
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    if (stretch)
        layout->addStretch();
    return layout;
}

} // namespace forms
