#version 120
uniform sampler2D source;
uniform vec4 texelSize;
uniform vec2 direction;
varying vec2 uv;

// Nine taps of a Gaussian with a standard deviation of two texels.
void main()
{
    const float weights[5] = float[5](0.2042, 0.1802, 0.1238, 0.0663, 0.0276);
    vec2 step = direction * texelSize.xy;
    vec4 sum = texture2D(source, uv) * weights[0];
    for (int i = 1; i < 5; ++i)
        sum += (texture2D(source, uv + step * float(i)) + texture2D(source, uv - step * float(i))) * weights[i];
    gl_FragColor = sum;
}
