#version 120
uniform sampler2D source;
uniform vec4 texelSize;
uniform vec4 bounds;
varying vec2 uv;

// A Gaussian with a standard deviation of two texels, nine taps each way (weights 0.2042,
// 0.1802, 0.1238, 0.0663 and 0.0276 from the centre out), read in five by five fetches: each
// fetch between texels is filtered to their weighted sum. The reads stay within bounds, the
// camera's own view of the picture.
const float OFFSETS[5] = float[5](0.0, 1.4072, -1.4072, 3.2939, -3.2939);
const float WEIGHTS[5] = float[5](0.2042, 0.3040, 0.3040, 0.0939, 0.0939);

void main()
{
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            sum += texture2D(source, clamp(uv + vec2(OFFSETS[i], OFFSETS[j]) * texelSize.xy, bounds.xy,
                                           bounds.zw)) *
                   (WEIGHTS[i] * WEIGHTS[j]);
    gl_FragColor = sum;
}
