#pragma once

#include <QScrollArea>
#include <QStringList>

class QButtonGroup;
class QHBoxLayout;
class QPushButton;

// One button per bucket name in a row that scrolls sideways (with the
// mouse wheel too, as there is no scroll bar); the selected bucket's button
// is gold.
class BookmarkBucketBar : public QScrollArea {
    Q_OBJECT

public:
    explicit BookmarkBucketBar(QWidget* parent);

    void setBuckets(const QStringList& names, const QString& selected);
    QPushButton* button(const QString& name) const;

Q_SIGNALS:
    void selected(const QString& name);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void rebuild(const QStringList& names);
    void restyle();

    QHBoxLayout* row;
    QButtonGroup* group;
    QStringList names_;
};
