#version 120
uniform sampler2D scene;
uniform sampler2D glow;
uniform float iRedFlashIntensity;
varying vec2 uv;

void main()
{
    vec3 colour = texture2D(scene, uv).rgb + 1.5 * texture2D(glow, uv).rgb;
    // A hurt player sees the picture dimmed and washed with red.
    vec3 hurt = colour * 0.45 + vec3(0.55, 0.0, 0.0);
    gl_FragColor = vec4(mix(colour, hurt, clamp(iRedFlashIntensity, 0.0, 1.0)), 1.0);
}
