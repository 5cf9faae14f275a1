#include "multilinebox.h"

#include "bandedscrollbarstyle.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextDocument>

namespace {

bool isCrLfAt(const QString &text, qsizetype at)
{
    return at + 1 < text.size() && text[at] == u'\r' && text[at + 1] == u'\n';
}

// What the document is given for a text: one paragraph break per CR LF pair,
// per lone CR and per lone LF.
QString documentTextFor(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (isCrLfAt(text, at)) {
            shown += QChar::ParagraphSeparator;
            ++at;
        } else if (text[at] == u'\r' || text[at] == u'\n') {
            shown += QChar::ParagraphSeparator;
        } else {
            shown += text[at];
        }
    }
    return shown;
}

} // namespace

MultiLineBox::MultiLineBox(QWidget *parent) : QPlainTextEdit(parent)
{
    // Tab moves on to the next control, as in every other box of a form.
    setTabChangesFocus(true);
    // A zero timer rather than a posted event: a log's handler moves the
    // caret at once, and a stopped timer costs nothing, where a posted event
    // wakes the event loop for each line.
    m_caretToStartTimer.setSingleShot(true);
    m_caretToStartTimer.setInterval(0);
    connect(&m_caretToStartTimer, &QTimer::timeout, this, &MultiLineBox::moveCaretToStartIfPending);
    connect(document(), &QTextDocument::contentsChanged, this, &MultiLineBox::takeUserEdit);
    // The view paints its own background (see paintEvent) rather than have Qt
    // fill it. Qt scrolls a view it takes for opaque by moving its pixels in
    // the window at once, for every scroll; one that is not is only marked
    // for repainting. A log adds many lines between two paints, each line a
    // scroll, and repainting the lines in view once costs less than moving
    // the whole view for every line.
    viewport()->setAutoFillBackground(false);
    bandScrollBar();
}

void MultiLineBox::bandScrollBar()
{
    // A log's scroll bar is repainted for every frame in which the log grows:
    // it is drawn in bands (see BandedScrollBarStyle), like the application's
    // style and by a copy of it, made anew when the application's changes
    // (see viewportEvent).
    QStyle *previous = m_barStyle;
    m_barStyle = BandedScrollBarStyle::copying(QApplication::style());
    if (m_barStyle)
        m_barStyle->setParent(this);
    verticalScrollBar()->setStyle(m_barStyle); // none: the application's
    if (previous)
        previous->deleteLater();
}

void MultiLineBox::setScrollBars(bool vertical, bool horizontal)
{
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    // Without a horizontal scroll bar long lines wrap at the box's edge.
    setLineWrapMode(horizontal ? NoWrap : WidgetWidth);
    // After each change of a scroll bar's range the scroll area decides again,
    // in a call posted to the event loop, whether to show it: for a log, a
    // posted event and a turn of the loop for every line. Shown always or
    // never, the bars never move for a range, so the call is dropped. If a
    // later Qt names it otherwise, nothing is found and nothing changes.
    const QMetaObject &area = QAbstractScrollArea::staticMetaObject;
    const QMetaMethod layOut = area.method(area.indexOfSlot("_q_showOrHideScrollBars()"));
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()}) {
        const QMetaObject &slider = *bar->metaObject();
        const QMetaMethod rangeChanged = slider.method(slider.indexOfSignal("rangeChanged(int,int)"));
        if (layOut.isValid() && rangeChanged.isValid())
            disconnect(bar, rangeChanged, this, layOut);
    }
}

void MultiLineBox::setTextValue(const QString &text)
{
    m_writing = true;
    // A log grows by a line at a time, each time written back whole: when the
    // new text only extends the old one, the document takes just the new
    // part, and the lines already laid out stay as they are. What the user
    // sees and the caret end up exactly as a rewrite would leave them.
    if (!m_text.isEmpty() && text.size() > m_text.size() && text.startsWith(m_text))
        append(text.mid(m_text.size()));
    else {
        m_caretToStart = false; // setPlainText puts it there
        setPlainText(documentTextFor(text));
    }
    m_text = text;
    m_shown = document()->toRawText();
    m_writing = false;
}

void MultiLineBox::append(QString tail)
{
    // A CR at the old end and an LF at the new start are one CR LF pair: one
    // break, which the lone CR already shows.
    if (m_text.endsWith(u'\r') && tail.startsWith(u'\n'))
        tail.remove(0, 1);
    QTextDocument *doc = document();
    QAbstractTextDocumentLayout *layout = doc->documentLayout();
    const int firstChanged = doc->lastBlock().blockNumber();
    {
        // The plain text layout repaints the whole viewport whenever a change
        // ends anywhere but in the last block, and a log ends in a line break,
        // whose empty last block an appended line always comes before: only
        // the changed lines and what follows need painting. So the layout's
        // own repaint requests are held back while it lays out the new lines;
        // the size change that moves the scroll bar is passed on afterwards.
        const QSignalBlocker quiet(layout);
        // A rewrite leaves nothing to undo; neither may an append.
        doc->setUndoRedoEnabled(false);
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText(documentTextFor(tail));
        doc->setUndoRedoEnabled(true);
    }
    emit layout->documentSizeChanged(layout->documentSize());
    QRect changed;
    for (QTextBlock block = doc->findBlockByNumber(firstChanged); block.isValid(); block = block.next())
        changed |= blockBoundingGeometry(block).translated(contentOffset()).toAlignedRect();
    viewport()->update(changed.adjusted(0, 0, viewport()->width(), 0));
    // As after a rewrite, the caret goes to the start. Moving it there at once
    // would scroll the view to the top, and the caller's next move (a log's
    // handler puts the caret after its new line) back down: both scrolls
    // repaint. So the caret stands at the start for whoever asks, and goes
    // there for real only if nothing has moved it first when the event loop
    // turns, before anything is painted or typed.
    m_caretToStart = true;
    m_caretToStartTimer.start();
}

void MultiLineBox::moveCaretToStartIfPending()
{
    if (!m_caretToStart)
        return;
    m_caretToStart = false;
    m_caretToStartTimer.stop();
    setTextCursor(QTextCursor(document()));
}

void MultiLineBox::paintEvent(QPaintEvent *event)
{
    {
        QPainter background(viewport());
        background.fillRect(event->rect(), viewport()->palette().brush(viewport()->backgroundRole()));
    }
    QPlainTextEdit::paintEvent(event);
}

bool MultiLineBox::event(QEvent *event)
{
    // Whatever the user does with the caret starts from where it stands.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride
        || event->type() == QEvent::InputMethod || event->type() == QEvent::FocusIn)
        moveCaretToStartIfPending();
    if (event->type() == QEvent::Paint && !paintsOwnParts(static_cast<QPaintEvent *>(event)->region()))
        return true;
    return QPlainTextEdit::event(event);
}

bool MultiLineBox::paintsOwnParts(const QRegion &region) const
{
    // The box itself draws only its frame, and the corner between its scroll
    // bars where both show; the view and the bars draw the rest. Each frame
    // in which a log grows repaints the view, which is not opaque (see the
    // constructor), so Qt paints the box beneath it too: there is nothing of
    // the box's to draw there.
    if (verticalScrollBar()->isVisible() && horizontalScrollBar()->isVisible())
        return true;
    return region.intersects(QRegion(rect()) - QRegion(contentsRect()));
}

bool MultiLineBox::viewportEvent(QEvent *event)
{
    // The application's style changed. The view hears of it always; the box
    // not if it has a style of its own, the bar never, as it has one. (A
    // style set on the box is not its children's: the bar keeps the
    // application's look.)
    if (event->type() == QEvent::StyleChange)
        bandScrollBar();
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick
        || event->type() == QEvent::Paint)
        moveCaretToStartIfPending();
    return QPlainTextEdit::viewportEvent(event);
}

int MultiLineBox::selStart() const
{
    if (m_caretToStart)
        return 0;
    return toModel(textCursor().selectionStart());
}

int MultiLineBox::selLength() const
{
    if (m_caretToStart)
        return 0;
    const QTextCursor cursor = textCursor();
    return toModel(cursor.selectionEnd()) - toModel(cursor.selectionStart());
}

void MultiLineBox::setSelStart(int start)
{
    const int clamped = qMin(start, int(m_text.size()));
    select(clamped, clamped);
}

void MultiLineBox::setSelLength(int length)
{
    const int start = selStart();
    select(start, start + qMin(length, int(m_text.size()) - start));
}

void MultiLineBox::select(int start, int end)
{
    m_caretToStart = false;
    m_caretToStartTimer.stop();
    QTextCursor cursor = textCursor();
    const int anchor = toDocument(start);
    const int position = toDocument(end);
    // A log's handler puts the caret after its line, then sets an empty
    // selection there once more: the cursor is moved only when it moves.
    if (cursor.anchor() != anchor || cursor.position() != position) {
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(cursor);
    }
    ensureCursorVisible();
}

void MultiLineBox::keyPressEvent(QKeyEvent *event)
{
    // Shift+Enter would insert a soft line break inside the paragraph; in a
    // text box every line break the user types is CR LF.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ShiftModifier)) {
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier, event->text(),
                        event->isAutoRepeat(), ushort(event->count()));
        QPlainTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MultiLineBox::takeUserEdit()
{
    if (m_writing)
        return;
    const QString now = document()->toRawText();
    if (now == m_shown)
        return;

    // The edit is what lies between the common start and the common end of
    // the old and new document text; its ends map to the model through the
    // old text, since both lie outside the change.
    const qsizetype shorter = qMin(now.size(), m_shown.size());
    qsizetype prefix = 0;
    while (prefix < shorter && now[prefix] == m_shown[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && now[now.size() - 1 - suffix] == m_shown[m_shown.size() - 1 - suffix])
        ++suffix;

    const int modelStart = toModel(int(prefix));
    const int modelEnd = toModel(int(m_shown.size() - suffix));
    QString inserted = now.mid(prefix, now.size() - suffix - prefix);
    inserted.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    inserted.replace(QChar::LineSeparator, QStringLiteral("\r\n"));

    m_text = m_text.left(modelStart) + inserted + m_text.mid(modelEnd);
    m_shown = now;
}

int MultiLineBox::toDocument(int modelPosition) const
{
    int shown = 0;
    qsizetype at = 0;
    while (at < modelPosition && at < m_text.size()) {
        const bool pair = isCrLfAt(m_text, at);
        // A position between CR and LF stands before the break.
        if (pair && at + 2 > modelPosition)
            break;
        at += pair ? 2 : 1;
        ++shown;
    }
    return shown;
}

int MultiLineBox::toModel(int documentPosition) const
{
    qsizetype at = 0;
    for (int shown = 0; shown < documentPosition && at < m_text.size(); ++shown)
        at += isCrLfAt(m_text, at) ? 2 : 1;
    return int(at);
}
