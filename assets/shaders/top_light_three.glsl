// Three lamps over the table's length, each a pool of light with a soft edge.
float topLight(vec3 p) {
    float sum = 0.0;
    for (int i = -1; i <= 1; ++i) {
        vec3 lamp = vec3(float(i) * 1150.0, 1100.0, 0.0);
        vec2 d = (p.xz - lamp.xz) / vec2(1100.0, 1000.0);
        sum += 0.5 * exp(-dot(d, d) * 0.9);
    }
    return clamp(0.1 + sum, 0.0, 1.05);
}
