#include "gl/shader_registry.h"

std::map<std::type_index, Shader> shader_registry;
