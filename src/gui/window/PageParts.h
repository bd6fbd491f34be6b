#pragma once

// The small parts the window's pages are built from, shared by the area
// files that build them.

#include "widgets/SvgIconEngine.h"

#include <QFontMetrics>
#include <QLatin1StringView>
#include <QLineEdit>
#include <QObject>
#include <QToolButton>

namespace vellamor::pageparts {

template<typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1StringView(name));
    return object;
}

inline QIcon icon(const char *name)
{
    return SvgIconEngine::icon(QStringLiteral(":/icons/%1.svg").arg(QLatin1StringView(name)));
}

inline QLineEdit *narrowEdit(const char *name, const QString &text, QWidget *parent)
{
    auto *edit = named(new QLineEdit(text, parent), name);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12 + 16);
    return edit;
}

inline QToolButton *browseButton(const char *name, QWidget *parent)
{
    auto *button = named(new QToolButton(parent), name);
    button->setAutoRaise(true);
    button->setIcon(icon("folder"));
    button->setToolTip(QObject::tr("Browse..."));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

inline QToolButton *moveButton(const char *name, const char *caption, QWidget *parent)
{
    auto *button = named(new QToolButton(parent), name);
    button->setText(QLatin1StringView(caption));
    button->setMinimumSize(32, 26);
    return button;
}

} // namespace vellamor::pageparts
