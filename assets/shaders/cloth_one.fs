#version 330 core
// The table bed: green cloth under the top light, the markings and the baked darkening towards
// the cushions from the markings texture (rgb: darkening, alpha: the white lines).
in vec3 FragPos;
in vec3 Normal;
in vec2 TexCoords;

uniform sampler2D texture_diffuse1;
uniform sampler2D texture_tableMarking;
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
    // The cloth texture adds only its nap; the colour is the cloth's own.
    float nap = dot(texture(texture_diffuse1, TexCoords).rgb, vec3(0.3333));
    vec3 cloth = vec3(0.05, 0.36, 0.12) * (0.85 + 0.3 * nap);
    // The markings image: rows along the table's length (x), columns across it (z).
    vec2 markUv = vec2(FragPos.z / 1873.26 + 0.5, FragPos.x / 3664.26 + 0.5);
    vec4 mark = texture(texture_tableMarking, markUv);
    vec3 colour = mix(cloth * mark.rgb, vec3(0.9), mark.a);
    vec3 n = normalize(Normal);
    float facing = length(Normal) > 0.0 ? max(n.y, 0.0) * 0.85 + 0.15 : 1.0;
    // A faint sheen towards the key light keeps the cloth from looking flat.
    vec3 toLight = normalize(lightPos - FragPos);
    vec3 toEye = normalize(viewPos - FragPos);
    float sheen = pow(max(dot(normalize(toLight + toEye), vec3(0.0, 1.0, 0.0)), 0.0), 8.0) * 0.05;
    outColor = vec4(colour * topLight(FragPos) * facing + sheen, transparency);
}
