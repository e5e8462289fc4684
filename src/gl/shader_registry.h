#pragma once
// The programs of the drawing classes, one per class, built from shader/ files on the
// first request. Emptied by the view's destructor while its GL context still exists.

#include "gl/shader.h"

#include <map>
#include <typeindex>

extern std::map<std::type_index, Shader> shader_registry;

// The shader files of a drawing class T, paths relative to the working folder; geometry
// is null for a class without a geometry stage. Specialised next to each drawing class.
template <class T>
struct shader_files;

// Builds the Shader of T from its files (vertex, geometry, fragment; linked after each
// stage) and inserts it into shader_registry. A missing file throws and leaves no entry.
template <class T>
void create_shader() {
  Shader shader;
  shader.loadVertexShader(shader_files<T>::vertex);
  if (shader_files<T>::geometry != nullptr) shader.loadGeometryShader(shader_files<T>::geometry);
  shader.loadFragmentShader(shader_files<T>::fragment);
  shader_registry.emplace(std::type_index(typeid(T)), std::move(shader));
}

// The registry's Shader of T, built on first request; valid until the registry is emptied.
template <class T>
Shader* get_shader() {
  auto found = shader_registry.find(std::type_index(typeid(T)));
  if (found == shader_registry.end()) {
    create_shader<T>();
    found = shader_registry.find(std::type_index(typeid(T)));
  }
  return &found->second;
}
