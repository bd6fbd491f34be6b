#include "AccessibleInterfaces.h"

#include "LinkLabel.h"
#include "SvgPicture.h"

#include <QAccessibleWidget>

namespace vellamor {

namespace {

class AccessibleLink final : public QAccessibleWidget
{
public:
    explicit AccessibleLink(LinkLabel *link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        // The caption, unless a name was given (a plain widget would borrow
        // the title of the group around it).
        if (t == QAccessible::Name)
            return link()->accessibleName().isEmpty() ? link()->text() : link()->accessibleName();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (link()->isEnabled())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            link()->activate();
        else
            QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString &action) const override
    {
        if (action == pressAction())
            return {QStringLiteral("Return"), QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }

private:
    LinkLabel *link() const { return static_cast<LinkLabel *>(widget()); }
};

class AccessiblePicture final : public QAccessibleWidget
{
public:
    explicit AccessiblePicture(SvgPicture *picture) : QAccessibleWidget(picture, QAccessible::Graphic) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        // A picture nobody named is decoration: assistive technology skips it.
        if (widget()->accessibleName().isEmpty())
            s.invisible = true;
        return s;
    }
};

QAccessibleInterface *panelWidgetsFactory(const QString &, QObject *object)
{
    if (auto *link = qobject_cast<LinkLabel *>(object))
        return new AccessibleLink(link);
    if (auto *picture = qobject_cast<SvgPicture *>(object))
        return new AccessiblePicture(picture);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(panelWidgetsFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace vellamor
