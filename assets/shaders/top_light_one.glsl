// One wide, soft light over the table: brightest over the middle of the bed, a little softer
// towards the cushions, fading out into the room.
float topLight(vec3 p) {
    vec2 q = p.xz / vec2(2200.0, 1300.0);
    float outside = length(max(abs(p.xz) - vec2(1700.0, 800.0), 0.0));
    return mix(1.0 - 0.22 * min(dot(q, q), 1.0), 0.1, smoothstep(0.0, 1500.0, outside));
}
