#pragma once

#include "twips.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

enum class ControlKind { TextBox, CheckBox, CommandButton, Label, Shape, Timer, PingControl };
enum class TextAlignment { Left, Right, Center };
enum class ScrollBars { None, Horizontal, Vertical, Both };
enum class ShapeKind { Rectangle, Oval, Circle };
enum class FillStyle { Transparent, Solid };

enum class FontPitch { Default, Fixed, Variable };

// A font as a definition names it; sizes are in points and become pixels at
// 96 dpi, so text scales with the twip geometry around it.
struct FontDefinition
{
    QString family;
    double pointSize = 8.25;
    bool bold = false;
    bool italic = false;
    // Default: fixed for the classic fixed-pitch families (Courier, Courier
    // New, Lucida Console, ...), variable for any other.
    FontPitch pitch = FontPitch::Default;

    // Whether text in this font is laid out in columns, so that a stand-in for
    // a missing family must be fixed-pitch too.
    bool isFixedPitch() const;

    friend bool operator==(const FontDefinition &, const FontDefinition &) = default;
};

// One control of a form definition with its design values. What a definition
// does not set keeps the forms run time's default. The setters return the
// definition, so that a control reads as one line of its form's table.
class ControlDefinition
{
public:
    static ControlDefinition textBox(const QString &name, const QString &text, const TwipRect &rect, int tabIndex);
    static ControlDefinition checkBox(const QString &name, const QString &caption, const TwipRect &rect, int tabIndex);
    static ControlDefinition commandButton(const QString &name, const QString &caption, const TwipRect &rect,
                                           int tabIndex);
    static ControlDefinition label(const QString &name, const QString &caption, const TwipRect &rect, int tabIndex);
    static ControlDefinition shape(const QString &name, const TwipRect &rect);
    static ControlDefinition timer(const QString &name);
    // A hosted ping control, created from the component registry by class name.
    static ControlDefinition pingControl(const QString &name, const QString &className, const TwipRect &rect,
                                         int tabIndex);

    ControlKind kind() const { return m_kind; }
    const QString &name() const { return m_name; }
    // Caption of a check box, button or label; text of a text box.
    const QString &caption() const { return m_caption; }
    const TwipRect &rect() const { return m_rect; }
    std::optional<int> tabIndex() const { return m_tabIndex; }

    TextAlignment alignment() const { return m_alignment; }
    ControlDefinition &setAlignment(TextAlignment alignment);
    bool isMultiLine() const { return m_multiLine; }
    ControlDefinition &setMultiLine(bool multiLine);
    ScrollBars scrollBars() const { return m_scrollBars; }
    ControlDefinition &setScrollBars(ScrollBars scrollBars);
    const std::optional<FontDefinition> &font() const { return m_font; }
    ControlDefinition &setFont(const FontDefinition &font);
    bool isEnabled() const { return m_enabled; }
    ControlDefinition &setEnabled(bool enabled);
    // Check-box state: 0 unchecked, 1 checked, 2 grayed.
    int value() const { return m_value; }
    ControlDefinition &setValue(int state);
    // The button that Enter presses from the form's single-line boxes and check boxes.
    bool isDefault() const { return m_default; }
    ControlDefinition &setDefault(bool isDefault);
    ShapeKind shapeKind() const { return m_shapeKind; }
    ControlDefinition &setShape(ShapeKind kind);
    FillStyle fillStyle() const { return m_fillStyle; }
    ControlDefinition &setFillStyle(FillStyle style);
    // 0x00BBGGRR.
    qint32 fillColor() const { return m_fillColor; }
    ControlDefinition &setFillColor(qint32 bgr);
    // Timer interval in milliseconds; 0 means not running.
    int interval() const { return m_interval; }
    ControlDefinition &setInterval(int milliseconds);
    const QString &className() const { return m_className; }
    // The hosted component's own saved state, handed to it when it is created.
    const QByteArray &savedState() const { return m_savedState; }
    ControlDefinition &setSavedState(const QByteArray &state);
    // For a label: the control it names. Run-time errors about that control
    // name it by the label's caption, the way the user sees it.
    const QString &namedControl() const { return m_namedControl; }
    ControlDefinition &setNames(const QString &controlName);
    // What a screen reader calls a control that no label names, such as a
    // shape that stands for something.
    const QString &accessibleName() const { return m_accessibleName; }
    ControlDefinition &setAccessibleName(const QString &name);

private:
    ControlDefinition(ControlKind kind, const QString &name, const QString &caption, const TwipRect &rect,
                      std::optional<int> tabIndex);

    ControlKind m_kind;
    QString m_name;
    QString m_caption;
    TwipRect m_rect;
    std::optional<int> m_tabIndex;
    TextAlignment m_alignment = TextAlignment::Left;
    bool m_multiLine = false;
    ScrollBars m_scrollBars = ScrollBars::None;
    std::optional<FontDefinition> m_font;
    bool m_enabled = true;
    int m_value = 0;
    bool m_default = false;
    ShapeKind m_shapeKind = ShapeKind::Rectangle;
    FillStyle m_fillStyle = FillStyle::Transparent;
    qint32 m_fillColor = 0;
    int m_interval = 0;
    QString m_className;
    QByteArray m_savedState;
    QString m_namedControl;
    QString m_accessibleName;
};
