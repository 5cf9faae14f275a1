#pragma once

#include "controlhandle.h"

class QLabel;

// A label: a caption that takes no focus.
class Label : public ControlHandle
{
public:
    Label(const QString &name, QLabel *label);

    QString caption() const;
    void setCaption(const QString &caption) const;

private:
    QLabel *m_label;
};
