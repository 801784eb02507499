#include "toolkit/appicon.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

// The resources live in a static library; naming their initialiser here
// keeps the linker from dropping them.
static void initResources()
{
    Q_INIT_RESOURCE(veskfrontend);
}

namespace vesk
{

QIcon applicationIcon()
{
    initResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/veskfrontend-%1.png").arg(size), QSize(size, size));
    return icon;
}

namespace
{

class DeferredIcon : public QObject
{
public:
    explicit DeferredIcon(QWidget *main) : QObject(qApp), m_main(main) { qApp->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_main && event->type() == QEvent::Paint) {
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, this, &DeferredIcon::set); // after the paint reached the screen
        } else if (event->type() == QEvent::Show && watched != m_main && watched->isWidgetType()
                   && static_cast<QWidget *>(watched)->isWindow()) {
            set();
        }
        return false;
    }

private:
    void set()
    {
        qApp->removeEventFilter(this);
        if (!m_set)
            QApplication::setWindowIcon(applicationIcon());
        m_set = true;
    }

    QPointer<QWidget> m_main;
    bool m_set = false;
};

} // namespace

void setApplicationIconAfterFirstPaint(QWidget *main)
{
    new DeferredIcon(main); // owned by the application
}

} // namespace vesk
