#include "app/Accessibility.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QWindow>

namespace Accessibility {

namespace {

// A notification of one window: not among the window's children (a reader walking the window
// does not meet it), hidden but for a moment when it shows itself with the text to say as its
// name, and readers say it. Hidden again at once, every text is a new showing to a reader.
class Notification : public QAccessibleInterface
{
public:
    explicit Notification(QWidget *window) : m_window(window) {}
    void setText(const QString &text) { m_text = text; }
    void setShown(bool shown) { m_shown = shown; }

    bool isValid() const override { return m_window; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_window ? m_window->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_window.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? m_text : QString(); }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override { return {}; }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_shown;
        return s;
    }

private:
    QPointer<QWidget> m_window;
    QString m_text;
    bool m_shown = false;
};

// Owns a window's notification, which goes with the window.
class NotificationOwner : public QObject
{
public:
    explicit NotificationOwner(QWidget *window)
        : QObject(window), m_id(QAccessible::registerAccessibleInterface(new Notification(window)))
    {
        setObjectName(name());
    }
    static QString name() { return QStringLiteral("screenReaderNotification"); }
    ~NotificationOwner() override { QAccessible::deleteAccessibleInterface(m_id); }
    Notification *notification() const { return static_cast<Notification *>(QAccessible::accessibleInterface(m_id)); }

private:
    QAccessible::Id m_id;
};

} // namespace

void speak(QWidget *source, const QString &text)
{
    if (!source || text.isEmpty() || !QAccessible::isActive())
        return;
    QWidget *window = source->window();
    // The owner has no meta-object of its own: it is found by its name.
    auto *owner = static_cast<NotificationOwner *>(
        window->findChild<QObject *>(NotificationOwner::name(), Qt::FindDirectChildrenOnly));
    if (!owner)
        owner = new NotificationOwner(window);
    Notification *notification = owner->notification();
    notification->setText(text);
    notification->setShown(true);
    QAccessibleEvent shown(notification, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    notification->setShown(false);
    QAccessibleEvent hidden(notification, QAccessible::ObjectHide);
    QAccessible::updateAccessibility(&hidden);
}

void readAsShown(QLabel *label, const QString &what)
{
    // With no accessible name of its own, a label is named by its text, and QLabel::setText
    // announces every new text to screen readers.
    label->setAccessibleName(QString());
    label->setAccessibleDescription(what);
}

QString lightName(const QString &caption, bool lit)
{
    return lit ? QCoreApplication::translate("Accessibility", "%1, lit").arg(caption) : caption;
}

} // namespace Accessibility
