#pragma once

#include "controldefinition.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

enum class StartUpPosition { CenterScreen, WindowsDefault };

// A whole form as data: its own design values and its controls in the order
// of the definition. The forms run time builds the window from it.
class FormDefinition
{
public:
    FormDefinition(const QString &name, const QString &caption, int clientWidth, int clientHeight);

    const QString &name() const { return m_name; }
    const QString &caption() const { return m_caption; }
    // The client area in twips.
    int clientWidth() const { return m_clientWidth; }
    int clientHeight() const { return m_clientHeight; }

    // 0x00BBGGRR; without one the form keeps the platform's window colour.
    const std::optional<qint32> &backColor() const { return m_backColor; }
    FormDefinition &setBackColor(qint32 bgr);
    // The font of every control that names none of its own.
    const std::optional<FontDefinition> &font() const { return m_font; }
    FormDefinition &setFont(const FontDefinition &font);
    StartUpPosition startUpPosition() const { return m_startUpPosition; }
    FormDefinition &setStartUpPosition(StartUpPosition position);

    const QList<ControlDefinition> &controls() const { return m_controls; }
    FormDefinition &operator<<(const ControlDefinition &control);
    // The control of that name, or nullptr.
    const ControlDefinition *control(const QString &name) const;

    // Mistakes that make the definition unusable: duplicate names or tab
    // indexes, labels naming no control, design values out of their range.
    // Empty for a sound definition.
    QStringList problems() const;

private:
    QString m_name;
    QString m_caption;
    int m_clientWidth;
    int m_clientHeight;
    std::optional<qint32> m_backColor;
    std::optional<FontDefinition> m_font;
    StartUpPosition m_startUpPosition = StartUpPosition::CenterScreen;
    QList<ControlDefinition> m_controls;
};
