#pragma once

#include "textboxwidget.h"

#include <QPlainTextEdit>
#include <QTimer>

// A multi-line text box whose Text keeps its line ends exactly as written.
//
// QPlainTextEdit stores paragraphs, not characters: CR LF, CR and LF all
// become one paragraph break and read back as LF. So the text as written is
// the model here, and the document only shows it: a CR LF pair is one break
// in the document, every other character (a lone CR or LF too) is one
// document position. Positions are mapped between the two, and what the user
// types is carried into the model as an edit of the document, with a typed
// line break becoming CR LF.
class MultiLineBox : public QPlainTextEdit, public TextBoxWidget
{
    Q_OBJECT

public:
    explicit MultiLineBox(QWidget *parent = nullptr);

    QWidget *widget() override { return this; }
    QString textValue() const override { return m_text; }
    void setTextValue(const QString &text) override;
    int selStart() const override;
    void setSelStart(int start) override;
    int selLength() const override;
    void setSelLength(int length) override;

    // Each scroll bar shown always or never, and lines wrapped at the edge
    // when there is no horizontal one. Set the scroll bars through this, not
    // through their policies: it also drops the scroll area's new layout
    // after every change of a bar's range, which only a bar shown as needed
    // would use.
    void setScrollBars(bool vertical, bool horizontal);

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void takeUserEdit();
    // Adds text at the end of the document, without laying out or repainting
    // what is there.
    void append(QString tail);
    void moveCaretToStartIfPending();
    void bandScrollBar();
    // Whether a paint of region has anything of the box's own to draw.
    bool paintsOwnParts(const QRegion &region) const;

    void select(int start, int end);
    // Between the model (the text as written) and the document.
    int toDocument(int modelPosition) const;
    int toModel(int documentPosition) const;

    QString m_text;
    // The document's raw text as it stood after the last change we took in.
    QString m_shown;
    bool m_writing = false;
    // The caret stands at the start since the last append; see append().
    bool m_caretToStart = false;
    QTimer m_caretToStartTimer;
    // The vertical scroll bar's style, where the application's can be copied.
    QStyle *m_barStyle = nullptr;
};
