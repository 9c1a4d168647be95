// The QWidget of a view: paints through the view and hands it the mouse.
// Inside the layer only: its interface carries no Qt widget.
#pragma once

#include <QWidget>

#include "platform/uikit/view.h"

namespace platform::uikit {

class ViewWidget : public QWidget {
 public:
  ViewWidget(UIView* view, QWidget* parent);
  ~ViewWidget() override;
  // The widget that draws `view`; null once Qt has deleted it.
  static ViewWidget* of(const UIView& view) { return view.widget_; }
  UIView* view() const { return view_; }
  // The view is going; until the widget goes too it draws and takes nothing.
  void detachView() { view_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::shared_ptr<UIView> keepView() const;
  UIView* view_;
  bool tracking_ = false;
};

}  // namespace platform::uikit
