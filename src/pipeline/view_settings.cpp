#include "pipeline/view_settings.h"

view_settings* main_gl_widget = nullptr;
