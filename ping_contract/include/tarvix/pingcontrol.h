#pragma once

#include <tarvix/dispid.h>
#include <tarvix/dispresult.h>
#include <tarvix/dispvalue.h>
#include <tarvix/tarvixcontractexport.h>

#include <QByteArray>
#include <QList>

#include <functional>

class QWidget;

namespace Tarvix {

class PingEvents;

/*!
    \brief What a host requires of a ping control.

    Any component that honours this interface serves: hosts reach it only
    through invoke() and its events(). PingControlProxy gives typed calls
    over invoke().
*/
class TARVIX_CONTRACT_EXPORT PingControl
{
public:
    /*! Destroys the component. */
    virtual ~PingControl() = default;

    /*! The late-bound entry point: a property get, a property put (one argument,
        the value) or a method call, by DISPID (see DispId). Errors come back in
        the result; a call never throws and never crashes on a wrong DISPID or
        value. Events a call causes come later, from the event loop. */
    virtual DispResult invoke(qint32 dispId, DispKind kind, const QList<DispValue> &args = {}) = 0;

    /*! The component's events; owned by the component. */
    virtual PingEvents *events() = 0;

    /*! The component's own surface, placed on the host's form. */
    virtual QWidget *widget() = 0;

    /*! Reads the saved state kept in a form definition from \a stream. A stream
        the component cannot read leaves its defaults in place and returns \c false. */
    virtual bool loadState(const QByteArray &stream) = 0;
    /*! The saved state to keep in a form definition, as loadState() reads it. */
    virtual QByteArray saveState() const = 0;
};

/*! Creates a component whose widget is a child of \c parent; the parent owns it. */
using PingControlFactory = std::function<PingControl *(QWidget *parent)>;

} // namespace Tarvix
