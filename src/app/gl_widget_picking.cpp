// Mouse, wheel and keys of the view, the selection and the constraints it records.
#include "app/gl_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

void gl_widget::mousePressEvent(QMouseEvent* event) { (void)event; }

void gl_widget::mouseMoveEvent(QMouseEvent* event) { (void)event; }

void gl_widget::wheelEvent(QWheelEvent* event) { (void)event; }

void gl_widget::keyReleaseEvent(QKeyEvent* event) { (void)event; }

void gl_widget::apply_selection() {}
