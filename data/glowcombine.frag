#version 120
uniform sampler2D glow;
uniform float iRedFlashIntensity;
varying vec2 uv;

// Blended over the picture as colour + (1 - alpha) x picture, which gives the picture with its
// glow added 1.5 times and, for a hurt player, dimmed to 0.45 and washed with red at full flash,
// without reading the picture back.
void main()
{
    float flash = 0.55 * clamp(iRedFlashIntensity, 0.0, 1.0);
    vec3 glowing = 1.5 * texture2D(glow, uv).rgb * (1.0 - flash);
    gl_FragColor = vec4(glowing + vec3(flash, 0.0, 0.0), flash);
}
