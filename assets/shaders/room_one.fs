#version 330 core
// The room: dim walls and floor, lit only by the spill of the table light.
in vec3 FragPos;
in vec3 Normal;
in vec2 TexCoords;

uniform sampler2D texture_diffuse1;
uniform vec3 viewPos;
uniform vec3 lightPos;
uniform float transparency;

out vec4 outColor;

// One wide, soft light over the table: brightest over the middle of the bed, a little softer
// towards the cushions, fading out into the room.
float topLight(vec3 p) {
    vec2 q = p.xz / vec2(2200.0, 1300.0);
    float outside = length(max(abs(p.xz) - vec2(1700.0, 800.0), 0.0));
    return mix(1.0 - 0.22 * min(dot(q, q), 1.0), 0.1, smoothstep(0.0, 1500.0, outside));
}

void main() {
    vec3 albedo = texture(texture_diffuse1, TexCoords).rgb;
    vec3 n = length(Normal) > 0.0 ? normalize(Normal) : vec3(0.0, 1.0, 0.0);
    vec3 toLight = normalize(lightPos - FragPos);
    vec3 toEye = normalize(viewPos - FragPos);
    float light = topLight(FragPos);
    float diffuse = max(n.y, 0.0) * 0.6 + max(dot(n, toLight), 0.0) * 0.3;
    float specular = pow(max(dot(n, normalize(toLight + toEye)), 0.0), 8.0) * 0.05;
    // Only a fraction of the table light reaches the room: it stays dim.
    vec3 colour = albedo * (0.04 + 0.3 * diffuse * light) + vec3(specular * light);
    outColor = vec4(colour, transparency);
}
