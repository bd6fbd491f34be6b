#pragma once

#include <QByteArray>
#include <QObject>
#include <QTest>
#include <stdexcept>

namespace vellamor::test {

// A control of the window by its objectName, the name the panel is known by
// from outside. A control that is missing, not unique or of another type
// fails the test where it is asked for, and ends it there (by an exception,
// which QtTest reports), rather than crash it further on.
template<class T> T *control(const QObject &window, const char *name)
{
    const QList<T *> found = window.findChildren<T *>(QLatin1StringView(name));
    if (found.size() != 1) {
        const QObject *any = window.findChild<QObject *>(QLatin1StringView(name));
        const QByteArray why = any ? QByteArray("\"") + name + "\" is a " + any->metaObject()->className() +
                                         ", not a " + T::staticMetaObject.className()
                                   : QByteArray("No control is called \"") + name + "\"";
        QTest::qFail(found.size() > 1 ? (QByteArray("More than one control is called \"") + name + "\"").constData()
                                      : why.constData(),
                     __FILE__, __LINE__);
        throw std::logic_error(why.toStdString());
    }
    return found.first();
}

} // namespace vellamor::test
