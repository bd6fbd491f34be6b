// The panel as a keyboard user and a screen reader meet it, on the real
// window: every interactive object on every page named and actionable through
// Qt's accessibility interface, Tab in reading order, the Service page's
// commands from the keyboard and from assistive technology, Ctrl+S and the
// page tree, and text that keeps its contrast in a light and a dark palette.
// The checks are generic (they walk whatever the pages hold), so a control
// added later is held to them too.

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServiceManager.h"
#include "colours/PanelColours.h"
#include "dialogs/Rule.h"
#include "dialogs/ServiceLogWindow.h"
#include "dialogs/about.h"
#include "widgets/LinkLabel.h"
#include "window/VellamorDesktopMain.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaEnum>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace vellamor;
using namespace vellamor::test;

namespace {

// -1: the Service page; otherwise the page tree's node.
const std::pair<const char *, int> kPages[] = {
    {"Service", -1}, {"General", 0},  {"Application Service", 1}, {"Management Service", 2}, {"Security", 3},
    {"SSL", 4},      {"Database", 5},
};

bool isInteractive(QAccessible::Role role)
{
    using A = QAccessible;
    static const QSet<A::Role> roles{A::Button,  A::CheckBox, A::RadioButton, A::ComboBox,   A::EditableText,
                                     A::SpinBox, A::Slider,   A::Link,        A::ButtonMenu, A::ButtonDropDown,
                                     A::PageTab, A::MenuItem, A::List,        A::Tree,       A::Table};
    return roles.contains(role);
}

QString nameOf(QAccessibleInterface *object)
{
    QObject *o = object->object();
    const QString id =
        o && !o->objectName().isEmpty() ? o->objectName() : QString::fromLatin1(o ? o->metaObject()->className() : "?");
    return id + QStringLiteral(" (role %1)").arg(int(object->role()));
}

// What assistive technology would stumble over, below `parent`.
void findProblems(QAccessibleInterface *parent, QStringList &problems)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface *child = parent->child(i);
        if (!child || child->state().invisible)
            continue;
        const QAccessible::Role role = child->role();
        const bool unnamed = child->text(QAccessible::Name).trimmed().isEmpty();
        if ((isInteractive(role) || role == QAccessible::Graphic) && unnamed)
            problems << nameOf(child) + QStringLiteral(": no name");
        if (isInteractive(role) && !child->state().disabled) {
            // A list or a tree acts through its items: it must take the focus.
            const bool view = role == QAccessible::List || role == QAccessible::Tree || role == QAccessible::Table;
            const bool actionable =
                view ? bool(child->state().focusable)
                     : child->actionInterface() && !child->actionInterface()->actionNames().isEmpty();
            if (!actionable)
                problems << nameOf(child) + QStringLiteral(": no action");
        }
        if (role != QAccessible::List && role != QAccessible::Tree && role != QAccessible::Table)
            findProblems(child, problems);
    }
}

QStringList problemsOf(QObject *object)
{
    QStringList problems;
    findProblems(QAccessible::queryAccessibleInterface(object), problems);
    return problems;
}

// The colour a widget's text stands on: the nearest background it or one of
// its parents paints, else the window's.
QColor backgroundOf(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->autoFillBackground() || w->isWindow())
            return w->palette().color(QPalette::Active, w->backgroundRole());
    }
    return widget->palette().color(QPalette::Window);
}

// Every text of the window (labels, links, group titles, fields and lists)
// whose contrast falls short, with its ratio.
QStringList lowContrastTexts(QWidget *window)
{
    QStringList found;
    const auto check = [&found](QWidget *w, const QColor &text, const QColor &background) {
        const double ratio = contrastRatio(text, background);
        if (ratio < kMinimumContrast)
            found << QStringLiteral("%1 \"%2\": %3 on %4 is %5:1")
                         .arg(w->objectName(), w->accessibleName(), text.name(), background.name())
                         .arg(ratio, 0, 'f', 2);
    };
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isEnabled())
            continue; // a control that does not act now may fade
        if (qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w))
            check(w, w->palette().color(QPalette::Active, w->foregroundRole()), backgroundOf(w));
        else if (qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractItemView *>(w))
            check(w, w->palette().color(QPalette::Active, QPalette::Text),
                  w->palette().color(QPalette::Active, QPalette::Base));
    }
    return found;
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 30), text(232, 232, 232);
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        p.setColor(role, window);
    p.setColor(QPalette::Base, base);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        p.setColor(role, text);
    p.setColor(QPalette::Highlight, QColor(38, 79, 120));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    return p;
}

// A log that says only what a test makes it say.
class StubLog final : public platform::ServiceLog
{
public:
    QString source() const override { return QStringLiteral("stub"); }
    void start() override {}
};

// What a screen reader hears of an object: its role, name, description and
// text (through the text interface, as AT-SPI reads it), whether it may be
// changed, and the first of its children.
QString heard(QAccessibleInterface *a, bool withChildren = true)
{
    QAccessibleTextInterface *text = a->textInterface();
    QString said = QStringLiteral("%1 \"%2\"")
                       .arg(QLatin1StringView(QMetaEnum::fromType<QAccessible::Role>().valueToKey(a->role())),
                            a->text(QAccessible::Name));
    if (!withChildren)
        return said;
    said += QStringLiteral(" \"%1\" \"%2\"%3 [")
                .arg(a->text(QAccessible::Description), text ? text->text(0, text->characterCount()) : QString(),
                     a->state().readOnly && !a->state().editable ? QStringLiteral(" read-only") : QString());
    for (int i = 0; i < a->childCount() && i < 2; ++i)
        said += heard(a->child(i), false) + QStringLiteral(", ");
    return said;
}

QRect inWindow(QWidget *w)
{
    return {w->mapTo(w->window(), QPoint(0, 0)), w->size()};
}

// True when b comes after a in reading order. The blocks are compared that
// hold them side by side (a group and the buttons beside it, say): b's block
// is below a's, or on its right while they share a line.
bool readsAfter(QWidget *a, QWidget *b)
{
    QList<QWidget *> pathA, pathB;
    for (QWidget *w = a; w; w = w->parentWidget())
        pathA.prepend(w);
    for (QWidget *w = b; w; w = w->parentWidget())
        pathB.prepend(w);
    qsizetype i = 0;
    while (i < pathA.size() && i < pathB.size() && pathA[i] == pathB[i])
        ++i;
    const QRect ra = inWindow(i < pathA.size() ? pathA[i] : a);
    const QRect rb = inWindow(i < pathB.size() ? pathB[i] : b);
    constexpr int slack = 4;
    const bool below = rb.top() >= ra.bottom() - slack;
    const bool sameLine = rb.top() < ra.bottom() && ra.top() < rb.bottom();
    return below || (sameLine && rb.left() >= ra.right() - slack);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakePlatform> m_fake;
    std::shared_ptr<FakeServiceManager> m_services;
    std::unique_ptr<TForm3> m_window;

    void open(std::uint32_t state = platform::ServiceManager::Stopped)
    {
        m_fake = std::make_unique<FakePlatform>();
        m_services = std::make_shared<FakeServiceManager>();
        m_services->state = state;
        m_fake->serviceManager = m_services;
        m_window = std::make_unique<TForm3>(m_fake->platform());
        m_window->FormCreate();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTRY_VERIFY(m_window->Activated);
    }

    void showPage(int node)
    {
        control<QTabWidget>(*m_window, "PageControl1")->setCurrentIndex(node < 0 ? 0 : 1);
        if (node >= 0)
            control<QTreeWidget>(*m_window, "TreeView1")
                ->setCurrentItem(control<QTreeWidget>(*m_window, "TreeView1")->topLevelItem(node));
        QApplication::processEvents();
    }

    // The widgets Tab visits from the tool bar's first button until it comes
    // back there.
    QList<QWidget *> tabChain(QWidget *start)
    {
        QList<QWidget *> chain;
        start->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 100 && QApplication::focusWidget(); ++i) {
            QWidget *focused = QApplication::focusWidget();
            if (!chain.isEmpty() && focused == chain.first())
                break;
            chain.append(focused);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        return chain;
    }

private Q_SLOTS:
    void cleanup()
    {
        m_window.reset();
        m_fake.reset();
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void everyInteractiveObjectIsNamedAndActs_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<std::uint32_t>("state");
        for (const auto &[page, node] : kPages)
            QTest::newRow(page) << node << std::uint32_t(platform::ServiceManager::Stopped);
        QTest::newRow("Service, running") << -1 << std::uint32_t(platform::ServiceManager::Running);
        QTest::newRow("Service, unknown") << -1 << std::uint32_t(0xFFu);
    }

    void everyInteractiveObjectIsNamedAndActs()
    {
        QFETCH(int, node);
        QFETCH(std::uint32_t, state);
        open(state);
        showPage(node);
        QCOMPARE(problemsOf(m_window.get()), QStringList());
        for (QMenu *menu : m_window->findChildren<QMenu *>())
            QCOMPARE(problemsOf(menu), QStringList());
    }

    // Where a screen reader met something odd: the notebook's hidden tabs,
    // the page tree's header naming its column "1", the fixed dots of an
    // untouched address field, an unnamed log pane that stays blank.
    void readsWhatIsShown_data()
    {
        QTest::addColumn<QString>("object"); // then what is typed, or the log's line ("!": its problem)
        QTest::addColumn<QString>("expected");
        QTest::newRow("notebook without its tabs") << "PageControl2="
                                                   << R"(Client "" "" "" [LayeredPane "", )";
        QTest::newRow("page tree header") << "TreeView1="
                                          << "Tree \"Configuration pages\" \"Choose a page with the "
                                             "arrow keys\" \"\" [ColumnHeader \"\", TreeItem \"General\", ";
        QTest::newRow("untouched address") << "singleip="
                                           << R"(EditableText "Single IP address" "" "" [)";
        QTest::newRow("typed address") << "cidr1=10"
                                       << R"(EditableText "CIDR block address" "" "10..." [)";
        QTest::newRow("log window") << "ServiceLogWindow="
                                    << R"(Window "Vellamor Service Log" "" "" [StaticText "Following stub", )";
        QTest::newRow("empty log") << "LogText="
                                   << R"(EditableText "Service log" "No entries" "" read-only [)";
        QTest::newRow("log with a line") << "LogText=started"
                                         << R"(EditableText "Service log" "" "started" read-only [)";
        QTest::newRow("unreadable log") << "LogText=!denied"
                                        << R"(EditableText "Service log" "" "" read-only [)";
    }

    void readsWhatIsShown()
    {
        QFETCH(QString, object);
        QFETCH(QString, expected);
        const QString typed = object.section(u'=', 1);
        object = object.section(u'=', 0, 0);
        open();
        showPage(0); // a tree not shown has no rows laid out to read
        TForm33 rule(*m_fake->dialogs, m_window.get());
        rule.show();
        auto *stub = new StubLog;
        ServiceLogWindow log{std::unique_ptr<platform::ServiceLog>(stub)};
        log.show();
        if (auto *field = rule.findChild<QLineEdit *>(object)) {
            control<QRadioButton>(rule, "RadioButton2")->click();
            QTest::keyClicks(field, typed);
        } else if (typed.startsWith(u'!')) {
            Q_EMIT stub->problem(typed.mid(1));
        } else if (!typed.isEmpty()) {
            Q_EMIT stub->linesRead({typed});
        }
        QObject *target = log.objectName() == object ? &log : log.findChild<QObject *>(object);
        for (QObject *other : std::initializer_list<QObject *>{m_window.get(), &rule})
            target = target ? target : other->findChild<QObject *>(object);
        QVERIFY(target);
        const QString said = heard(QAccessible::queryAccessibleInterface(target));
        QVERIFY2(said.startsWith(expected), qPrintable(said));
    }

    void dialogsAreNamedAndAct()
    {
        open();
        TForm33 rule(*m_fake->dialogs, m_window.get());
        rule.show();
        for (QRadioButton *mode : rule.findChildren<QRadioButton *>()) {
            mode->click(); // each mode enables its own fields
            QCOMPARE(problemsOf(&rule), QStringList());
        }
        TAboutBox about;
        about.show();
        QCOMPARE(problemsOf(&about), QStringList());
    }

    void tabFollowsReadingOrder_data()
    {
        QTest::addColumn<int>("node");
        for (const auto &[page, node] : kPages)
            QTest::newRow(page) << node;
    }

    void tabFollowsReadingOrder()
    {
        QFETCH(int, node);
        open(platform::ServiceManager::Running);
        showPage(node);
        const QList<QWidget *> chain = tabChain(control<QToolButton>(*m_window, "ToolButton9"));

        for (qsizetype i = 1; i < chain.size(); ++i) {
            QVERIFY2(
                readsAfter(chain[i - 1], chain[i]),
                qPrintable(
                    QStringLiteral("Tab goes from %1 to %2").arg(chain[i - 1]->objectName(), chain[i]->objectName())));
        }
        // Every control a user can act on is on the way (a group of radio
        // buttons is one stop: the arrows move within it).
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            auto *radio = qobject_cast<QRadioButton *>(w);
            const bool stop = w->isVisible() && w->isEnabled() && !w->focusProxy() &&
                              (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus &&
                              !qobject_cast<QAbstractItemView *>(w->parentWidget()) && !(radio && !radio->isChecked());
            if (stop && !qobject_cast<QTabWidget *>(w))
                QVERIFY2(chain.contains(w),
                         qPrintable(w->objectName() + QStringLiteral(" cannot be reached with Tab")));
        }
    }

    void serviceCommandsActFromKeyboardAndAssistiveTechnology_data()
    {
        QTest::addColumn<int>("key"); // 0: the accessible press action
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("press action") << 0;
    }

    void serviceCommandsActFromKeyboardAndAssistiveTechnology()
    {
        QFETCH(int, key);
        open(platform::ServiceManager::Running);
        const QList<QWidget *> chain = tabChain(control<QToolButton>(*m_window, "ToolButton9"));
        QVERIFY(chain.contains(control<LinkLabel>(*m_window, "StopService_lbl")));
        QVERIFY(!chain.contains(control<LinkLabel>(*m_window, "StartService_lbl"))); // disabled while running

        if (key) {
            control<LinkLabel>(*m_window, "StopService_lbl")->setFocus(Qt::TabFocusReason);
            QTest::keyClick(control<LinkLabel>(*m_window, "StopService_lbl"), Qt::Key(key));
        } else {
            QAccessibleActionInterface *actions =
                QAccessible::queryAccessibleInterface(control<LinkLabel>(*m_window, "StopService_lbl"))
                    ->actionInterface();
            QVERIFY(actions);
            actions->doAction(QAccessibleActionInterface::pressAction());
            // A link that does not act now offers nothing to press.
            QVERIFY(!QAccessible::queryAccessibleInterface(control<LinkLabel>(*m_window, "StartService_lbl"))
                         ->actionInterface()
                         ->actionNames()
                         .contains(QAccessibleActionInterface::pressAction()));
        }
        QCOMPARE(m_fake->dialogs->boxes.size(), 1);
        QCOMPARE(m_fake->dialogs->boxes.first().text,
                 QStringLiteral("Are you sure you want to stop Vellamor Service?"));
    }

    void keyboardReachesThePagesAndSave()
    {
        open();
        // Tab into the page tree; the arrows choose the pages.
        control<QTabWidget>(*m_window, "PageControl1")->setCurrentIndex(1);
        const QList<QWidget *> chain = tabChain(control<QToolButton>(*m_window, "ToolButton9"));
        QVERIFY(chain.contains(control<QTreeWidget>(*m_window, "TreeView1")));
        control<QTreeWidget>(*m_window, "TreeView1")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control<QTreeWidget>(*m_window, "TreeView1"), Qt::Key_Down);
        QTest::keyClick(control<QTreeWidget>(*m_window, "TreeView1"), Qt::Key_Down);
        QCOMPARE(control<QTabWidget>(*m_window, "PageControl2")->currentWidget(),
                 control<QWidget>(*m_window, "TabSheet7ConfigApplication"));

        // Ctrl+S saves from any page, as a click on Save does.
        control<QPushButton>(*m_window, "Button1")->click();
        QCOMPARE(m_fake->dialogs->boxes.size(), 1);
        control<QTabWidget>(*m_window, "PageControl1")->setCurrentIndex(0);
        QTest::keySequence(m_window.get(), QKeySequence::Save);
        QCOMPARE(m_fake->dialogs->boxes.size(), 2);
        QCOMPARE(m_fake->dialogs->boxes.last().text, m_fake->dialogs->boxes.first().text);
    }

    void textKeepsItsContrast_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void textKeepsItsContrast()
    {
        QFETCH(bool, dark);
        // The measure itself: black on white, and the plain red on white.
        QCOMPARE(qRound(contrastRatio(Qt::black, Qt::white) * 10), 210);
        QCOMPARE(qRound(contrastRatio(QColor(255, 0, 0), Qt::white) * 10), 40);
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        open();
        QCOMPARE(isDarkPalette(m_window->palette()), dark);
        for (ServiceDisplayState state :
             {ServiceDisplayState::Unavailable, ServiceDisplayState::Stopped, ServiceDisplayState::Running,
              ServiceDisplayState::Starting, ServiceDisplayState::Stopping, ServiceDisplayState::Paused}) {
            m_window->ShowServiceStatus(state);
            QCOMPARE(lowContrastTexts(m_window.get()), QStringList());
        }
        TForm33 rule(*m_fake->dialogs, m_window.get());
        QCOMPARE(lowContrastTexts(&rule), QStringList());
        TAboutBox about;
        QCOMPARE(lowContrastTexts(&about), QStringList());
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
