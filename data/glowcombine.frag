#version 120
uniform sampler2D glow;
uniform vec4 view;
uniform vec4 bounds;
uniform float iRedFlashIntensity;
varying vec2 uv;

// The camera's view of the blurred glow picture (view: its left, top, width and height there,
// its reads kept within bounds) added onto the picture 1.5 times, dimmed to 0.45 at full flash
// as redflash.frag dims the picture before it.
void main()
{
    float flash = 0.55 * clamp(iRedFlashIntensity, 0.0, 1.0);
    vec2 at = clamp(view.xy + uv * view.zw, bounds.xy, bounds.zw);
    gl_FragColor = vec4(1.5 * texture2D(glow, at).rgb * (1.0 - flash), 1.0);
}
