// The fragment stage of every lit scene program: what scene.vs hands on, the colour texture, the eye
// and the key light, the fading of the whole object, and the one colour written.
in vec3 FragPos;
in vec3 Normal;
in vec2 TexCoords;

uniform sampler2D texture_diffuse1;
uniform vec3 viewPos;
uniform vec3 lightPos;
uniform float transparency;

out vec4 outColor;
