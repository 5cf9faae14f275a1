#include "multilinebox.h"

#include <QKeyEvent>
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
    connect(document(), &QTextDocument::contentsChanged, this, &MultiLineBox::takeUserEdit);
}

void MultiLineBox::setTextValue(const QString &text)
{
    m_writing = true;
    m_text = text;
    setPlainText(documentTextFor(text));
    m_shown = document()->toRawText();
    m_writing = false;
}

int MultiLineBox::selStart() const
{
    return toModel(textCursor().selectionStart());
}

int MultiLineBox::selLength() const
{
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
    QTextCursor cursor = textCursor();
    cursor.setPosition(toDocument(start));
    cursor.setPosition(toDocument(end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
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
