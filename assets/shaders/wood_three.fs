#version 330 core
// The polished wood of the frame around the cushions and of the round legs, with a moderate highlight.
in vec3 FragPos;
in vec3 Normal;
in vec2 TexCoords;

uniform sampler2D texture_diffuse1;
uniform vec3 viewPos;
uniform vec3 lightPos;
uniform float transparency;

out vec4 outColor;

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

void main() {
    vec3 albedo = texture(texture_diffuse1, TexCoords).rgb;
    vec3 n = length(Normal) > 0.0 ? normalize(Normal) : vec3(0.0, 1.0, 0.0);
    vec3 toLight = normalize(lightPos - FragPos);
    vec3 toEye = normalize(viewPos - FragPos);
    float light = topLight(FragPos);
    float diffuse = max(n.y, 0.0) * 0.6 + max(dot(n, toLight), 0.0) * 0.3;
    float specular = pow(max(dot(n, normalize(toLight + toEye)), 0.0), 48.0) * 0.35;
    vec3 colour = albedo * (0.18 + diffuse * light) + vec3(specular * light);
    outColor = vec4(colour, transparency);
}
