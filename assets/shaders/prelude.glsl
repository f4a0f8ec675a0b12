#version 330 core
// Included first by every program's sources (the loader resolves the #include lines), so the GLSL
// version is given in one place.
