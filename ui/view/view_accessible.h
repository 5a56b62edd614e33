#pragma once
// What assistive technology sees of the image view: a graphic named after
// the shown file (no name while nothing is shown), whose image is the part
// of the view the zoomed picture covers.
//
// Ownership: Qt's accessibility cache owns the interface and drops it with
// the view. Thread rules: user-interface thread only.

#include <QAccessibleWidget>

class CImageView;

class CViewAccessible : public QAccessibleWidget, public QAccessibleImageInterface {
public:
    explicit CViewAccessible(CImageView* view);

    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QString imageDescription() const override;
    QSize imageSize() const override;
    QPoint imagePosition() const override;

private:
    CImageView* View() const;
};

// For QAccessible::installFactory: the view's interface, null for other classes.
QAccessibleInterface* ViewAccessibleFactory(const QString& className, QObject* object);
