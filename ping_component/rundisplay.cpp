#include "rundisplay.h"

#include "chartnavigator.h"
#include "rundisplayaccessible.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>

RunDisplay::RunDisplay(QWidget *surface, const PingSession *session, bool chartWanted)
    : QObject(surface), m_surface(surface)
{
    static const bool accessible = [] {
        QAccessible::installFactory(&RunDisplayAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    m_presenter = new RunPresenter(this, session, chartWanted, surface);
    // Every pixel is painted each time: nothing to erase first, nothing to flicker.
    surface->setAttribute(Qt::WA_OpaquePaintEvent);
    // A stop in the form's tab order; a click on the chart gives it the keys too.
    surface->setFocusPolicy(Qt::StrongFocus);
    // Hovering picks a request for the readout.
    surface->setMouseTracking(true);
    ChartNavigator *navigator = m_presenter->navigator();
    connect(navigator, &ChartNavigator::focusWanted, surface, [surface] { surface->setFocus(Qt::MouseFocusReason); });
    surface->installEventFilter(navigator);
    surface->installEventFilter(this);
    m_presenter->describe();
}

RunDisplay::~RunDisplay()
{
    // QWidget's destructor still sends events (a focus out): the navigator,
    // which asks the surface about them, must no longer see them.
    m_surface->removeEventFilter(m_presenter->navigator());
}

RunDisplay *RunDisplay::of(QObject *surface)
{
    return surface ? surface->findChild<RunDisplay *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QMenu *RunDisplay::createContextMenu(QWidget *parent)
{
    ChartNavigator *navigator = m_presenter->navigator();
    auto *menu = new QMenu(parent);
    const bool hasRun = m_presenter->snapshot().run != nullptr;
    QAction *copy = menu->addAction(tr("&Copy"), navigator, &ChartNavigator::copyText);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(hasRun);
    menu->addAction(tr("Copy as &CSV"), navigator, &ChartNavigator::copyCsv)->setEnabled(hasRun);
    menu->addSeparator();
    QAction *live = menu->addAction(tr("Back to &live view"), navigator, &ChartNavigator::goLive);
    live->setEnabled(navigator->canGoLive());
    return menu;
}

bool RunDisplay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_surface || event->type() != QEvent::ContextMenu)
        return false;
    QMenu *menu = createContextMenu(m_surface);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
}

QRect RunDisplay::surfaceRect() const
{
    return m_surface->rect();
}

int RunDisplay::lineHeight() const
{
    // The painter's font is the widget's.
    return m_surface->fontMetrics().height();
}

void RunDisplay::repaintSurface()
{
    m_surface->update();
}

void RunDisplay::describeSurface(const QString &description)
{
    m_surface->setAccessibleDescription(description);
}

void RunDisplay::changed(int eventType)
{
    if (eventType == QEvent::FontChange)
        rescale();
}

void RunDisplay::paint()
{
    QPainter painter(m_surface);
    m_presenter->paint(painter, m_surface->palette());
    if (m_surface->hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(m_surface);
        option.rect = m_surface->rect().adjusted(2, 2, -2, -2);
        m_surface->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, m_surface);
    }
}
