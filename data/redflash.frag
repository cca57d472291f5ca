#version 120
uniform float iRedFlashIntensity;

// Blended over the picture as colour + (1 - alpha) x picture: dimmed to 0.45 and washed with
// red at full flash; glowcombine.frag then adds the glow dimmed alike.
void main()
{
    float flash = 0.55 * clamp(iRedFlashIntensity, 0.0, 1.0);
    gl_FragColor = vec4(flash, 0.0, 0.0, flash);
}
