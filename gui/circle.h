// A ring drawn over the background picture.
#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

class Circle : public QWidget {
    Q_OBJECT
public:
    // Centre, radius and stroke width in window pixels.
    struct Data {
        QPoint center;
        int radius = 0;
        int pen_width = 0;
        QColor color;
    };

    Circle(Data data, QWidget* parent);

    void setCenter(QPoint center);
    Data const& data() const { return data_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    Data data_;
};
